// The whole receive run of the program, as the Receive label starts it, on 1,000 mixed
// messages from the private Dovecot: fetch, decode, expand attachments, store every record
// (synced) and delete on the server. Compared with mpop fetching the same mailbox, on
// loopback and through a relay that delays every segment by 25 ms each way.
//
//   receive_bench [rounds]   prints receive_msgs_per_s, mpop_msgs_per_s, receive_vs_mpop_*
#include "support/MailBench.h"
#include "support/TestApp.h"

#include "shell/MainForm.h"
#include "store/MailStore.h"
#include "transport/NMailFacade.h"
#include "transport/Receive.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

using namespace orv;
using namespace orv::bench;

// A fresh program folder with the server and the account set, then one Receive.
double receiveWithProgram(const Pop3TestServer &server, const QString &setting)
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

    QElapsedTimer timer;
    timer.start();
    Receive(*program.app, mainForm);
    const double seconds = timer.nsecsElapsed() / 1e9;

    if (!program.messageBoxes->shown.empty())
        die(program.messageBoxes->shown.front().text);
    if (MailStore::ReceivedStore(program.app->appDir()).RecordCount() != kMessages)
        die(QStringLiteral("the receive run did not store every message"));
    if (!server.messages().isEmpty())
        die(QStringLiteral("the receive run left messages on the server"));
    return seconds;
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
    return 0;
}
