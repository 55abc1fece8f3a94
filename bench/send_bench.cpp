// Bulk send through the real compose window to the private aiosmtpd server, against
// Python's smtplib sending the same messages over one connection.
//
// Prints send_msgs_per_s=, smtplib_msgs_per_s= and send_vs_smtplib= (our time divided by
// smtplib's; the sent-store appends are part of ours). Run alone it starts its own server.
// The two take turns for a few rounds (`send_bench [rounds]`, 3 by default) and the medians
// are compared, so a busy moment of the machine does not decide the figure alone.

#include "composer/RecipientPanel.h"
#include "composer/WriteForm.h"
#include "store/AddressStore.h"
#include "support/TestApp.h"
#include "transport/NMailFacade.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace orv::bench {
namespace {

constexpr int kRecipients = 1000;
const QString kSubject = QStringLiteral("【お知らせ】年末年始の営業について");
const QString kBody = QStringLiteral("いつもお世話になっております。\r\n"
                                     "年末年始は12月29日から1月3日までお休みをいただきます。\r\n"
                                     "よろしくお願いいたします。\r\n");

[[noreturn]] void die(const QString &why)
{
    std::fprintf(stderr, "send_bench: %s\n", qPrintable(why));
    std::exit(1);
}

QString recipient(int number)
{
    return QStringLiteral("user%1@example.jp").arg(number);
}

// The SMTP server of the environment, or one of our own for this run.
class SmtpServer {
public:
    SmtpServer()
    {
        if (!qEnvironmentVariableIsEmpty("ORV_SMTP_HOST"))
            return;
        m_runDir = QDir::tempPath() + QStringLiteral("/orvs.") +
                   QString::number(QCoreApplication::applicationPid());
        QDir().mkpath(m_runDir);
        if (QProcess::execute(script(), {QStringLiteral("start"), m_runDir}) != 0)
            die(QStringLiteral("scripts/peers/smtp.sh start failed"));
        QFile env(m_runDir + QStringLiteral("/smtp.env"));
        if (!env.open(QIODevice::ReadOnly))
            die(QStringLiteral("no smtp.env"));
        for (const QByteArray &line : env.readAll().split('\n')) {
            const QByteArray assignment = line.trimmed().mid(int(qstrlen("export ")));
            const qsizetype equals = assignment.indexOf('=');
            if (line.startsWith("export ") && equals > 0)
                qputenv(assignment.left(equals).constData(),
                        QByteArray(assignment.mid(equals + 1)).replace('\'', ""));
        }
    }
    ~SmtpServer()
    {
        if (m_runDir.isEmpty())
            return;
        QProcess::execute(script(), {QStringLiteral("stop"), m_runDir});
        QDir(m_runDir).removeRecursively();
    }
    QString address() const
    {
        return qEnvironmentVariable("ORV_SMTP_HOST") + u':' + qEnvironmentVariable("ORV_SMTP_PORT");
    }

private:
    static QString script() { return QStringLiteral(ORVAINE_SOURCE_DIR "/scripts/peers/smtp.sh"); }
    QString m_runDir;
};

double sendThroughComposeWindow(const SmtpServer &server)
{
    test::TestApp fixture(true, std::make_unique<NMailFacade>(nullptr, pop3::Options()));
    App &app = *fixture.app;
    app.state().serverSettings.smtpServer = server.address();
    app.state().serverSettings.mailAddress = QStringLiteral("sender@example.jp");
    AddressStore book(app.appDir());
    for (int number = 1; number <= kRecipients; ++number)
        if (!book.Append(QStringLiteral("利用者%1").arg(number), recipient(number)))
            die(QStringLiteral("cannot fill the address book"));

    QPointer<WriteForm> form = app.forms().show<WriteForm>();
    form->SubjectText()->setText(kSubject);
    form->BodyText()->setPlainText(kBody);
    form->findChild<QPushButton *>(QStringLiteral("Command4"))->click();
    form->recipients().Option2()->click();
    QElapsedTimer timer;
    timer.start();
    QEventLoop untilClosed;
    QObject::connect(form, &QObject::destroyed, &untilClosed, &QEventLoop::quit);
    QTimer::singleShot(600000, &untilClosed, [] { die(QStringLiteral("the send did not end")); });
    form->Send();
    untilClosed.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!fixture.messageBoxes->shown.empty())
        die(QStringLiteral("a box came up: ") + fixture.messageBoxes->shown.front().text);
    return seconds;
}

double sendWithSmtplib()
{
    const QString script = QStringLiteral(R"(
import smtplib, sys, time
from email.header import Header
from email.mime.text import MIMEText
host, port, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
subject, body = sys.argv[4], sys.argv[5]
start = time.perf_counter()
with smtplib.SMTP(host, port) as smtp:
    for number in range(1, count + 1):
        message = MIMEText(body, "plain", "iso-2022-jp")
        message["Subject"] = Header(subject, "iso-2022-jp")
        message["From"] = "sender@example.jp"
        message["To"] = "user%d@example.jp" % number
        smtp.sendmail("sender@example.jp", ["user%d@example.jp" % number], message.as_bytes())
print(time.perf_counter() - start)
)");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), script, qEnvironmentVariable("ORV_SMTP_HOST"),
                  qEnvironmentVariable("ORV_SMTP_PORT"), QString::number(kRecipients), kSubject,
                  kBody});
    if (!python.waitForFinished(600000) || python.exitCode() != 0)
        die(QStringLiteral("smtplib failed: ") + QString::fromUtf8(python.readAllStandardError()));
    bool ok = false;
    const double seconds = python.readAllStandardOutput().trimmed().toDouble(&ok);
    if (!ok)
        die(QStringLiteral("smtplib printed no time"));
    return seconds;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace
} // namespace orv::bench

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    using namespace orv::bench;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const SmtpServer server;
    std::vector<double> oursRounds, smtplibRounds;
    for (int round = 0; round < rounds; ++round) {
        oursRounds.push_back(sendThroughComposeWindow(server));
        smtplibRounds.push_back(sendWithSmtplib());
    }
    const double ours = median(oursRounds);
    const double smtplib = median(smtplibRounds);
    std::printf("send_msgs_per_s=%.1f\n", kRecipients / ours);
    std::printf("smtplib_msgs_per_s=%.1f\n", kRecipients / smtplib);
    std::printf("send_vs_smtplib=%.2f\n", ours / smtplib);
    return 0;
}
