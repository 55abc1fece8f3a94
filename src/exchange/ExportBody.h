#pragma once

#include <QByteArray>
#include <QString>

namespace orv::exchange {

// The body of an exported message: its charset, its transfer encoding and its content in
// them, CR LF line ends.
struct BodyPart {
    QByteArray charset;
    QByteArray encoding;
    QByteArray content;
};

// A record's body as one text/plain part that gives back exactly the stored text: plain
// ASCII as "us-ascii"; ISO-2022-JP when every character has the same form there for every
// reader, UTF-8 otherwise. Raw lines when they are safe; base64 for a body with a control
// character, a line too long for mail or the word "attachment"; quoted-printable for a body
// that does not end with a line end.
BodyPart bodyPart(const QString &text);

} // namespace orv::exchange
