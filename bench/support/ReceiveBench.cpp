#include "support/ReceiveBench.h"

#include "support/TestApp.h"

#include "shell/MainForm.h"
#include "shell/ReceiveCommand.h"
#include "store/MailStore.h"
#include "transport/NMailFacade.h"
#include "transport/Receive.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

namespace orv::bench {

ReceiveProgram::ReceiveProgram(const Pop3TestServer &server, const QString &setting)
    : m_server(server)
{
    pop3::Options options;
    options.caCertificates = server.trustedCertificates();
    m_program =
        std::make_unique<test::TestApp>(true, std::make_unique<NMailFacade>(nullptr, options));
    m_program->folder.writeBytes(QStringLiteral("\\korvel.ini"),
                                 "POP3=" + setting.toUtf8() + "\r\nAPOP=0\r\n");
    m_program->folder.writeBytes(QStringLiteral("\\★MAilData\\iniIdPass.ini"),
                                 "[EXEINI]\r\nNAME=" + server.user().toUtf8() + "\r\nNAME2=" +
                                     server.password().toUtf8() + "\r\nNAME3=1\r\n");
    m_mainForm = std::make_unique<MainForm>(*m_program->app);
}

ReceiveProgram::~ReceiveProgram() = default;

ReceiveTiming ReceiveProgram::receive(int expected)
{
    test::TestApp &program = *m_program;
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
    ReceiveRun *run = Receive(*program.app, *m_mainForm);
    QSignalSpy finished(run, &ReceiveRun::finished);
    if (!finished.wait(600000))
        die(QStringLiteral("the receive run did not end"));
    timing.seconds = timer.nsecsElapsed() / 1e9;
    turns.stop();

    if (!program.messageBoxes->shown.empty())
        die(program.messageBoxes->shown.front().text);
    if (MailStore::ReceivedStore(program.app->appDir()).RecordCount() != expected)
        die(QStringLiteral("the receive run did not store every message"));
    if (!m_server.messages().isEmpty())
        die(QStringLiteral("the receive run left messages on the server"));
    return timing;
}

ReceiveTiming timeReceive(const Pop3TestServer &server, const QString &setting, int expected)
{
    return ReceiveProgram(server, setting).receive(expected);
}

} // namespace orv::bench
