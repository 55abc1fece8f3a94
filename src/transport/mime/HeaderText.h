#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reading header fields the way real mail writes them, not only the way the RFCs do.
namespace orv::mime::headers {

// The header block of a raw message: everything before the first empty line.
QByteArray headerBlock(const QByteArray &rawMessage);

// The unfolded value of the first field called `name` (any case) in a header block;
// nothing when there is no such field.
std::optional<QByteArray> fieldValue(const QByteArray &headerBlock, const QByteArray &name);

// A header value as readable text: RFC 2047 encoded-words decoded (adjacent words of one
// charset joined before their bytes are decoded, so characters split across words and
// padded words survive), raw 8-bit text read as UTF-8 or code page 932.
QString decodeText(const QByteArray &rawValue);

// The value of parameter `name` of a structured field such as Content-Type or
// Content-Disposition: RFC 2231 (charset, continuations) or a plain value, which may hold
// RFC 2047 words or raw 8-bit text.
std::optional<QString> parameter(const QByteArray &rawFieldValue, const QByteArray &name);

// The value of one hexadecimal digit, as quoted-printable and RFC 2231 write them; -1 for
// any other character.
int hexValue(char c);

} // namespace orv::mime::headers
