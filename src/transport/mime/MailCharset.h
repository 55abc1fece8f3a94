#pragma once

#include <QByteArray>
#include <QString>

// The one choice of charset for the text of a message the program writes.
namespace orv::mime {

inline constexpr char kIso2022Jp[] = "ISO-2022-JP";
inline constexpr char kUtf8[] = "UTF-8";

// What becomes of the Windows forms of ～ － ∥ ￢ ￠ ￡ in ISO-2022-JP.
enum class WindowsForms {
    // Their JIS counterparts, as Japanese mail programs send them.
    AsJisForms,
    // None: a reader decoding by the JIS tables would show another character, so a text that
    // holds one goes in UTF-8 and every reader shows what was written.
    Kept,
};

struct MailText {
    QByteArray charset; // kIso2022Jp or kUtf8
    QByteArray bytes;
};

// `text` in ISO-2022-JP (JIS X 0208) when every character fits, in UTF-8 otherwise.
MailText inMailCharset(const QString &text, WindowsForms forms);

// Whether `text` holds one of the Windows forms that JIS readers show as another character.
bool hasWindowsForms(const QString &text);

} // namespace orv::mime
