#pragma once

#include "store/AccountFile.h"
#include "store/MailRecord.h"
#include "store/Settings.h"

#include <QString>

namespace orv {

// Which store the history viewer shows.
enum class ViewMode : qint16 { None = 0, Received = 1, Sent = 2 };

// The editor state of the viewer, which outlives its window.
struct EditorState {
    QString editorFile;
    bool editorModified = false;
    qint32 lastFoundPos = 0;
    qint16 boldToggle = 0;
    qint16 italicToggle = 0;
    qint16 underlineToggle = 0;
};

// The program-wide state, alive from start-up to shutdown.
struct AppState {
    ServerSettings serverSettings;
    AccountCredentials accountCredentials;
    MailRecord receivedBuffer;
    MailRecord sentBuffer;
    ViewMode viewMode = ViewMode::None;
    EditorState editor;
};

} // namespace orv
