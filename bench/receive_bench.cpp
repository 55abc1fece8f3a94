// The whole receive run of the program, as the Receive label starts it, on 1,000 mixed
// messages from the private Dovecot: fetch, decode, expand attachments, store every record
// (synced) and delete on the server. Compared with mpop fetching the same mailbox, on
// loopback and through a relay that delays every segment by 25 ms each way.
//
// Then ui_max_stall_ms: the longest the GUI thread's event loop went without turning while
// the program received those messages and one of 20 MB through the delaying relay.
//
//   receive_bench [rounds]   prints receive_msgs_per_s, mpop_msgs_per_s, receive_vs_mpop_*,
//                            ui_max_stall_ms
#include "support/ReceiveBench.h"

#include <QApplication>

#include <cstdio>

namespace {

using namespace orv;
using namespace orv::bench;

double receiveWithProgram(const Pop3TestServer &server, const QString &setting)
{
    return timeReceive(server, setting, kMessages).seconds;
}

// One message of about 20 MB: a text part and a large attachment.
QByteArray hugeMessage()
{
    QByteArray attachment(15 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < attachment.size(); ++i)
        attachment[i] = char((i * 131) % 251);
    const QByteArray encoded = attachment.toBase64();
    QByteArray lines;
    lines.reserve(encoded.size() + encoded.size() / 38);
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        lines += encoded.mid(i, 76) + "\r\n";
    return "From: big@example.jp\r\nTo: orvbench@example.jp\r\nSubject: huge\r\n"
           "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"huge\"\r\n\r\n"
           "--huge\r\nContent-Type: text/plain\r\n\r\nThe file is attached.\r\n"
           "--huge\r\nContent-Type: application/octet-stream\r\n"
           "Content-Disposition: attachment; filename=\"huge.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           lines + "--huge--\r\n";
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = roundsFromArguments(argc, argv);
    OwnServer ownServer;
    const Pop3TestServer server = benchServer();
    DelayingRelay relay(server.plainPort());

    const Medians loopback =
        compareWithMpop(server, server.plainPort(), "loopback", rounds, receiveWithProgram);
    std::printf("receive_msgs_per_s=%.1f\nmpop_msgs_per_s=%.1f\nreceive_vs_mpop_loopback=%.3f\n",
                kMessages / loopback.ours, kMessages / loopback.mpop,
                loopback.ours / loopback.mpop);
    std::fflush(stdout);
    const Medians delayed =
        compareWithMpop(server, relay.port(), "delayed", rounds, receiveWithProgram);
    std::printf("receive_msgs_per_s_delayed=%.1f\nmpop_msgs_per_s_delayed=%.1f\nreceive_vs_mpop_"
                "delayed=%.3f\n",
                kMessages / delayed.ours, kMessages / delayed.mpop, delayed.ours / delayed.mpop);
    std::fflush(stdout);

    fill(server);
    server.deliver(hugeMessage());
    const QString throughRelay = server.host() + u':' + QString::number(relay.port());
    const ReceiveTiming huge = timeReceive(server, throughRelay, kMessages + 1);
    std::printf("ui_max_stall_ms=%lld\n", static_cast<long long>(huge.longestStallMs));
    return 0;
}
