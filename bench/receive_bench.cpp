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
#include "support/MailBench.h"
#include "support/TestApp.h"

#include "shell/MainForm.h"
#include "shell/ReceiveCommand.h"
#include "store/MailStore.h"
#include "transport/NMailFacade.h"
#include "transport/Receive.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include <cstdio>

namespace {

using namespace orv;
using namespace orv::bench;

struct ReceiveTiming {
    double seconds = 0;
    qint64 longestStallMs = 0;
};

// A fresh program folder with the server and the account set, then one Receive to its end,
// watching the GUI thread's event loop turn all the while.
ReceiveTiming timeReceive(const Pop3TestServer &server, const QString &setting, int expected)
{
    pop3::Options options;
    options.caCertificates = server.trustedCertificates();
    test::TestApp program(true, std::make_unique<NMailFacade>(nullptr, options));
    program.folder.writeBytes(QStringLiteral("\\korvel.ini"),
                              "POP3=" + setting.toUtf8() + "\r\nAPOP=0\r\n");
    program.folder.writeBytes(QStringLiteral("\\★MAilData\\iniIdPass.ini"),
                              "[EXEINI]\r\nNAME=" + server.user().toUtf8() +
                                  "\r\nNAME2=" + server.password().toUtf8() + "\r\nNAME3=1\r\n");
    MainForm mainForm(*program.app);

    ReceiveTiming timing;
    QElapsedTimer sinceTurn;
    QTimer turns;
    QObject::connect(&turns, &QTimer::timeout, [&] {
        timing.longestStallMs = qMax(timing.longestStallMs, sinceTurn.restart());
    });
    QElapsedTimer timer;
    timer.start();
    sinceTurn.start();
    turns.start(1);
    ReceiveRun *run = Receive(*program.app, mainForm);
    QSignalSpy finished(run, &ReceiveRun::finished);
    if (!finished.wait(600000))
        die(QStringLiteral("the receive run did not end"));
    timing.seconds = timer.nsecsElapsed() / 1e9;
    turns.stop();

    if (!program.messageBoxes->shown.empty())
        die(program.messageBoxes->shown.front().text);
    if (MailStore::ReceivedStore(program.app->appDir()).RecordCount() != expected)
        die(QStringLiteral("the receive run did not store every message"));
    if (!server.messages().isEmpty())
        die(QStringLiteral("the receive run left messages on the server"));
    return timing;
}

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
