// Start-up: the program started offscreen on a fresh program folder until its main window
// has painted once, in turns with a bare Qt window of twelve labels (bench/bare), both as
// whole processes from fork to exit. The program ends itself after its first paint when
// ORVAINE_QUIT_WHEN_SHOWN is set; the bare window always does.
//
//   startup_bench [FOLDER]    prints startup_ms, bare_qt_ms (medians of 15 pairs) and
//                             startup_vs_bare_qt (their ratio); FOLDER is the program folder
//                             of another build to start in place of this one
//
// On a busy machine the wall-clock times wait for the processor as much as they work; the
// processor time both processes use (startup_cpu_ms, bare_qt_cpu_ms, cpu_vs_bare_qt) shows
// what the start-up itself costs.
#include "support/MailBench.h"
#include "support/TempProgramFolder.h"

#include <QElapsedTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace orv;

constexpr int kPairs = 15;

struct Run {
    double wallMs = 0;
    double cpuMs = 0; // user and system time of the process
};

double milliseconds(const timeval &time)
{
    return time.tv_sec * 1e3 + time.tv_usec / 1e3;
}

// From fork to the exit of `executable`, run without arguments.
Run runToExit(const QString &executable)
{
    const std::string path = executable.toStdString();
    QElapsedTimer timer;
    timer.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(path.c_str(), path.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        bench::die(QStringLiteral("%1 did not start and end cleanly").arg(executable));
    return {timer.nsecsElapsed() / 1e6,
            milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime)};
}

// One start of the program in `programDir` on a program folder of its own, as a first start
// finds it.
Run startProgram(const QString &programDir)
{
    const test::TempProgramFolder folder;
    return runToExit(folder.copyProgram(programDir));
}

} // namespace

int main(int argc, char **argv)
{
    const QString program =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ORVAINE_PROGRAM_DIR);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("ORVAINE_QUIT_WHEN_SHOWN", "1", 1);
    const QString bare = QStringLiteral(BARE_QT_WINDOW);
    // One start of each first, so that neither pays for a cold disk cache.
    startProgram(program);
    runToExit(bare);
    QList<double> programMs, bareMs, programCpuMs, bareCpuMs;
    for (int pair = 0; pair < kPairs; ++pair) {
        const Run started = startProgram(program);
        const Run bareRun = runToExit(bare);
        programMs.append(started.wallMs);
        programCpuMs.append(started.cpuMs);
        bareMs.append(bareRun.wallMs);
        bareCpuMs.append(bareRun.cpuMs);
    }
    const double startup = bench::median(programMs);
    const double bareQt = bench::median(bareMs);
    const double startupCpu = bench::median(programCpuMs);
    const double bareQtCpu = bench::median(bareCpuMs);
    std::printf("startup_ms=%.1f\nbare_qt_ms=%.1f\nstartup_vs_bare_qt=%.2f\n"
                "startup_cpu_ms=%.1f\nbare_qt_cpu_ms=%.1f\ncpu_vs_bare_qt=%.2f\n",
                startup, bareQt, startup / bareQt, startupCpu, bareQtCpu, startupCpu / bareQtCpu);
    return 0;
}
