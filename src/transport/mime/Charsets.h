#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The charset layer for Japanese mail: Windows' extensions of the Japanese charsets are
// what senders really use, whatever the label says. One rule holds for every charset: a
// byte sequence that cannot be read becomes one "〓", and reading goes on at the next
// character boundary of that charset.
namespace orv::mime::charsets {

// Readable text from `bytes` labelled `charset` (any spelling, may be empty). A label that
// does not fit the bytes is not trusted: UTF-8, ISO-2022-JP, code page 932 and EUC-JP are
// tried in turn, and what no reading can take becomes "〓".
QString decode(const QByteArray &bytes, const QByteArray &charset);

// The bytes as text when every sequence of them reads in `charset`; nothing otherwise.
std::optional<QString> decodeStrictly(const QByteArray &bytes, const QByteArray &charset);

// ISO-2022-JP read as its Windows superset (CP5022x): NEC row 13 (①, №, ㈱) and the IBM
// extensions in rows 89 to 92 come out right, half-width katakana too; the designations of
// ISO-2022-JP-2 (JIS X 0212, GB 2312, KS C 5601, Latin-1 and Greek by single shift) and of
// ISO-2022-JP-3 / -2004 (both planes of JIS X 0213) as well. Nothing when the bytes are not
// ISO-2022-JP or hold a sequence that cannot be read.
std::optional<QString> decodeIso2022Jp(const QByteArray &bytes);

// `text` in ISO-2022-JP (JIS X 0208), with the Windows forms of ～ － ∥ ￢ ￠ ￡ mapped to
// their JIS counterparts; nothing when a character does not fit.
std::optional<QByteArray> encodeIso2022Jp(const QString &text);

// `text` as code page 932 can keep it, one visible character at a time: a character
// written in parts (decomposed kana, an emoji with its joiners, modifiers and variation
// selectors) is composed when code page 932 holds the composed form and is otherwise one
// "〓"; a private-use character (a carrier's pictograph, a user-defined character) is one
// "〓". Characters code page 932 lacks on their own are left for its conversion, which
// writes one "〓" for each.
QString fittedToCp932(const QString &text);

} // namespace orv::mime::charsets
