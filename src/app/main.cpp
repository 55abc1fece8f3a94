#include "exchange/CommandLine.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>

namespace {

// Export and import from the command line open no window and need no display.
int runWithoutWindow(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const orv::exchange::CommandOutcome outcome = orv::exchange::runCommand(
        application.arguments().mid(1), orv::AppDir(QCoreApplication::applicationDirPath()));
    std::FILE *stream = outcome.exitCode == 0 ? stdout : stderr;
    if (!outcome.message.isEmpty()) // a quiet success says nothing, not even a line end
        std::fputs((outcome.message + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    return outcome.exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (orv::exchange::isCommandLineRun(arguments))
        return runWithoutWindow(argc, argv);
    QApplication application(argc, argv);
    return orv::runProgram(application);
}
