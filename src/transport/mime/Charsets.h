#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The charset layer for Japanese mail: Windows' extensions of the Japanese charsets are
// what senders really use, whatever the label says.
namespace orv::mime::charsets {

// Readable text from `bytes` labelled `charset` (any spelling, may be empty). A label that
// does not fit the bytes is not trusted: UTF-8, ISO-2022-JP, code page 932 and EUC-JP are
// tried in turn, and "�" marks what none of them can read.
QString decode(const QByteArray &bytes, const QByteArray &charset);

// The bytes as text when they are valid in `charset`; nothing otherwise.
std::optional<QString> decodeStrictly(const QByteArray &bytes, const QByteArray &charset);

// ISO-2022-JP read as its Windows superset (CP5022x): NEC row 13 (①, №, ㈱) and the IBM
// extensions in rows 89 to 92 come out right, half-width katakana too. Nothing when the
// bytes are not ISO-2022-JP.
std::optional<QString> decodeIso2022Jp(const QByteArray &bytes);

// `text` in ISO-2022-JP (JIS X 0208), with the Windows forms of ～ － ∥ ￢ ￠ ￡ mapped to
// their JIS counterparts; nothing when a character does not fit.
std::optional<QByteArray> encodeIso2022Jp(const QString &text);

} // namespace orv::mime::charsets
