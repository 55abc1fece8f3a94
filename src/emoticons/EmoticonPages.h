#pragma once

#include "core/AppDir.h"
#include "core/Status.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace orv {

// One page of the emoticon palette: its tab, its box, its file and its three buttons.
struct EmoticonPage {
    const char16_t *caption;
    const char16_t *box;
    const char16_t *fileName;         // as the palette reads it
    const char16_t *insertButton;     // "新規作成本文に挿入"
    const char16_t *addButton;        // "追加（貼付）"
    const char16_t *favouritesButton; // "お気に入りに追加"; none on the favourites page
};

inline constexpr int kEmoticonPageCount = 12;
inline constexpr int kFavouritesPage = 11;

const std::array<EmoticonPage, kEmoticonPageCount> &emoticonPages();

// A page's file as a program path. Saving spells the names with a lower-case "text";
// names are matched without regard to case, so both reach the file that exists.
QString pageLoadPath(const EmoticonPage &page);
QString pageSavePath(const EmoticonPage &page);

// A page's text from its file's bytes: code page 932 without the one CR LF that saving
// adds. `valid` is false when the bytes are not code page 932.
QString pageTextFromBytes(const QByteArray &bytes, bool *valid);

// A page's file bytes: the text in code page 932 with its line breaks (LF, as a text box
// gives them, or CR LF) as CR LF, then one CR LF.
QByteArray pageBytesFromText(const QString &text);

// What loading a page found.
struct LoadedPage {
    enum class State { Loaded, Absent, Unreadable };
    State state = State::Absent;
    QString text;
    QString error; // for Unreadable
};
LoadedPage loadPage(const AppDir &appDir, const EmoticonPage &page);

// Writes a page's file atomically, creating the palette's folder when it is missing.
Status savePage(const AppDir &appDir, const EmoticonPage &page, const QString &text);

} // namespace orv
