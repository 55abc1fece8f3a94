#pragma once

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

namespace orv::smtp {

// The exchange with the server as far as a failure text needs it: the first refusal
// (a 4xx or 5xx reply) and the command it answered. libcurl says QUIT after a refusal, so
// the last reply is rarely the one that matters.
struct Dialogue {
    QByteArray lastCommand;
    QByteArray refusedCommand;
    QByteArray refusal;
    // The server offered STARTTLS: the client asked for it.
    bool startTlsSent = false;

    void commandSent(const QByteArray &command);
    void replyReceived(const QByteArray &reply);
};

// A Japanese sentence for a failed send that names the server, the cause and, where it
// helps, the server's own reply: "SMTPサーバー「host」が宛先を拒否しました。（550 …）".
QString failureText(const QString &server, CURLcode code, const Dialogue &dialogue,
                    const QString &curlDetail);

} // namespace orv::smtp
