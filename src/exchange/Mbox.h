#pragma once

#include "core/Status.h"

#include <QByteArray>
#include <QIODevice>

namespace orv::exchange {

// Reads the messages of one mail file as a stream, holding no more than one message and a
// buffer in memory. The file is an mbox when its first line that is not blank, after an
// optional UTF-8 byte order mark, begins with "From "; then every line that begins with
// "From " opens a message (mboxrd and mboxo agree on that), ">From " lines lose one ">",
// and the empty line that ends each message goes. Any other file is one message. Lines may
// end in LF, CR LF or a CR alone (as old Mac files do); messages come with CR LF line ends,
// as they arrive from a POP3 server.
class MailFileReader {
public:
    explicit MailFileReader(QIODevice &device);

    // The next message, without its "From " line; false at the end of the file or on a read
    // error (see status()).
    bool next(QByteArray &message);

    // Known once next() was called.
    bool isMbox() const { return m_mbox; }
    const Status &status() const { return m_status; }

    // The number of messages next() would give, read from where the device stands.
    static qsizetype countMessages(QIODevice &device);

private:
    bool readLine(QByteArray &line);
    bool fill();
    bool findFirstLine(QByteArray &line);

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_position = 0;
    bool m_deviceEnded = false;
    bool m_started = false;
    bool m_mbox = false;
    bool m_atEnd = false;
    // The line read ahead that opens the next message, or the first line of a single message.
    QByteArray m_heldLine;
    bool m_holding = false;
    Status m_status = Status::success();
};

// True when `message` opens with a header block: a header field ("Name: value") before its
// first empty line. A file of text, a password file or random bytes have none.
bool hasHeaderBlock(const QByteArray &message);

} // namespace orv::exchange
