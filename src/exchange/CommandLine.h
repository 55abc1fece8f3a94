#pragma once

#include "core/AppDir.h"

#include <QString>
#include <QStringList>

// The program's work without a window: `orvaine --export-mbox received|sent FILE`,
// `--import-mbox FILE` and `--export-addresses FILE.csv|FILE.vcf`.
namespace orv::exchange {

// True when the arguments (without the program name) ask for work without a window.
bool isCommandLineRun(const QStringList &arguments);

struct CommandOutcome {
    int exitCode = 0;
    QString message; // for standard output on success, standard error on failure
};

// Runs the command on the program folder `appDir`.
CommandOutcome runCommand(const QStringList &arguments, const AppDir &appDir);

} // namespace orv::exchange
