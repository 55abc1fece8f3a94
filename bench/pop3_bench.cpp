// End-to-end receive timing: 1,000 mixed messages fetched and decoded through the mail
// library (status, size, text, attachment expansion, delete, close) against mpop fetching
// the same mailbox into a Maildir, on loopback and through a relay that delays every
// segment by 25 ms each way. Uses the private Dovecot of scripts/peers/pop3.sh (started
// here when pop3.env was not sourced).
//
//   pop3_bench [rounds]      prints fetch_s_*, mpop_s_*, fetch_vs_mpop_* (medians)
#include "support/MailBench.h"

#include "transport/NMailFacade.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace orv::bench;

// The receive run of the program, through the mail library.
double fetchWithLibrary(const Pop3TestServer &server, const QString &setting)
{
    orv::pop3::Options options;
    options.caCertificates = server.trustedCertificates();
    orv::NMailFacade library(nullptr, options);
    QTemporaryDir attachments;

    QElapsedTimer timer;
    timer.start();
    const int handle = library.NMailPop3Connect(setting);
    const int count = library.NMailPop3Authenticate(handle, server.user(), server.password(),
                                                    orv::nmail::kUserPass);
    if (count != kMessages)
        die(QStringLiteral("login gave %1: %2").arg(count).arg(library.NMailGetMessage()));
    for (int number = 1; number <= count; ++number) {
        orv::MailHeaderFields fields;
        QString body;
        library.NMailPop3GetMailStatus(handle, number, fields, 0);
        library.NMailPop3GetMailSize(handle, number);
        if (orv::nmail::failed(library.NMailPop3GetMail(handle, number, fields, body, 0, 0)))
            die(library.NMailGetMessage());
        const QString whole = fields.header + u"\r\n"_qs + body + u"\r\n"_qs;
        library.NMailAttachmentFileFirst(fields, body, attachments.path() + u'/', QString(), whole);
        library.NMailAttachmentFileClose();
        library.NMailPop3DeleteMail(handle, number);
    }
    if (orv::nmail::failed(library.NMailPop3Close(handle)))
        die(library.NMailGetMessage());
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!server.messages().isEmpty())
        die(QStringLiteral("the library left messages on the server"));
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = roundsFromArguments(argc, argv);
    OwnServer ownServer;
    const Pop3TestServer server = benchServer();
    DelayingRelay relay(server.plainPort());

    for (const auto &[name, port] :
         {std::pair{"loopback", server.plainPort()}, std::pair{"delayed", relay.port()}}) {
        const Medians medians = compareWithMpop(server, port, name, rounds, fetchWithLibrary);
        std::printf("fetch_s_%s=%.3f\nmpop_s_%s=%.3f\nfetch_vs_mpop_%s=%.3f\n", name, medians.ours,
                    name, medians.mpop, name, medians.ours / medians.mpop);
        std::fflush(stdout);
    }
    return 0;
}
