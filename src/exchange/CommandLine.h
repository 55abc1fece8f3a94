#pragma once

#include "core/AppDir.h"

#include <QString>
#include <QStringList>

// The program's work without a window: `orvaine --export-mbox received|sent FILE`,
// `--import-mbox FILE`, `--import-addresses FILE`, `--export-addresses FILE.csv|FILE.vcf`,
// `--receive [--quiet]`, `--help` and `--version`.
namespace orv::exchange {

// Exit statuses a script can act on (those of sysexits.h where one fits).
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFolderBusy = 75; // EX_TEMPFAIL: the program is open on the folder

// True when the arguments (without the program name) ask for work without a window: any
// argument at all. The window takes none, so a mistyped option is answered on the
// terminal instead of opening a window that a script would wait on.
bool isCommandLineRun(const QStringList &arguments);

struct CommandOutcome {
    int exitCode = 0;
    QString message; // for standard output when exitCode is 0, else for standard error
};

// Runs the command on the program folder `appDir`. A command that writes the stores holds
// the folder's instance lock while it runs.
CommandOutcome runCommand(const QStringList &arguments, const AppDir &appDir);

} // namespace orv::exchange
