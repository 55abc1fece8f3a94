#pragma once

#include "core/AppDir.h"
#include "exchange/CommandLine.h"

#include <QStringList>

namespace orv {
class DesktopNotifier;
class MailLibrary;
} // namespace orv

namespace orv::exchange {

// Exit statuses of `--receive` beyond those every command shares (sysexits.h). A server out
// of reach for now exits like a busy folder: kExitFolderBusy, EX_TEMPFAIL, "try again later".
inline constexpr int kExitLoginRefused = 77;    // EX_NOPERM
inline constexpr int kExitSettingsMissing = 78; // EX_CONFIG

inline const QString kQuietSwitch = QStringLiteral("--quiet");

// `orvaine --receive [--quiet]`: one receive run on the saved settings and account, with
// the program's own mail library, telling the desktop when mail arrived.
CommandOutcome receiveCommand(const QStringList &switches, const AppDir &appDir);

// The run itself, on the given mail library and notifier: everything the main window's
// receive does to the folder (the journal, the attachments, the store), without a window.
// Waits on an event loop until the run ends. The caller holds the folder's lock.
CommandOutcome receiveMail(const AppDir &appDir, MailLibrary &mail, DesktopNotifier &notifier,
                           bool quiet);

} // namespace orv::exchange
