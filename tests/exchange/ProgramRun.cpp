#include "ProgramRun.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace orv::test {

QString programCopyIn(const TempProgramFolder &folder)
{
    return folder.copyProgram();
}

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    return environment;
}

ProgramResult runProgramIn(const TempProgramFolder &folder, const QStringList &arguments,
                           int timeoutMs)
{
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(programCopyIn(folder), arguments);
    ProgramResult result;
    result.finished = program.waitForFinished(timeoutMs);
    if (!result.finished) {
        program.kill();
        program.waitForFinished();
        return result;
    }
    result.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    result.out = QString::fromUtf8(program.readAllStandardOutput());
    result.err = QString::fromUtf8(program.readAllStandardError());
    return result;
}

} // namespace orv::test
