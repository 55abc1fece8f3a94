#pragma once

#include "core/Status.h"

#include <QByteArray>
#include <QIODevice>

namespace orv::exchange {

// Reads the messages of an mbox file one by one, without holding the file in memory. Any
// line that begins with "From " opens a message (mboxrd and mboxo agree on that); ">From "
// lines lose one ">", and the empty line that ends each message goes.
class MboxReader {
public:
    explicit MboxReader(QIODevice &device);

    // The next message with CR LF line ends and without its "From " line; false at the end
    // of the file or on a read error (see status()).
    bool next(QByteArray &message);

    const Status &status() const { return m_status; }

private:
    bool readLine(QByteArray &line);

    QIODevice &m_device;
    bool m_started = false;
    bool m_atEnd = false;
    Status m_status = Status::success();
};

// True when the bytes open like an mbox file: with a "From " line.
bool looksLikeMbox(const QByteArray &start);

// The number of messages of an mbox file; reads it once from where it stands.
qsizetype countMboxMessages(QIODevice &device);

// A message read from a file as it would arrive from a POP3 server: every line ending in
// CR LF.
QByteArray withCrLfLines(const QByteArray &bytes);

} // namespace orv::exchange
