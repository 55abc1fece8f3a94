#pragma once

#include "support/TempProgramFolder.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace orv::test {

// How the program, run as a script runs it, ended.
struct ProgramResult {
    int exitCode = -1;
    QString out, err;
    bool finished = false; // false: it was still running at the deadline and was killed
};

// The program finds its folder next to its executable, so a test runs it from a copy in
// the test's own program folder; the copy is made once.
QString programCopyIn(const TempProgramFolder &folder);

// The environment without any display: a command must never need one.
QProcessEnvironment withoutDisplay();

ProgramResult runProgramIn(const TempProgramFolder &folder, const QStringList &arguments,
                           int timeoutMs = 60000);

} // namespace orv::test
