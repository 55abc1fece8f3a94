// Time and memory of one very large message, imported and received: both must grow
// linearly with the message.
//
// Import: the program itself (`orvaine --import-mbox`, a process of its own) reads an mbox
// holding one text message of 50 MB, one of 200 MB, and an .eml file with one 200 MB base64
// attachment. Its peak resident memory comes from the kernel (wait4), above the figure of
// `orvaine --version`, the same program doing nothing.
//
// Receive: one text message of 20 MB and one of 80 MB from the private Dovecot, through a
// whole receive run in this process, its peak memory from /proc/self/status (VmHWM, reset
// just before the run, once the main window is open).
//
//   import_bench   prints big_import_ms_per_mb, big_import_scaling, big_import_peak_vs_input,
//                  big_attachment_import_ms_per_mb, big_attachment_peak_vs_input,
//                  big_receive_ms_per_mb, big_receive_scaling, big_receive_peak_vs_input
#include "support/ReceiveBench.h"
#include "support/TempProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

using namespace orv;
using namespace orv::bench;

constexpr qint64 kMb = 1024 * 1024;

// Lines of Japanese and ASCII text, as long mail bodies are, `bytes` long in all.
QByteArray textLines(qint64 bytes)
{
    const QByteArray line =
        QStringLiteral("長いメールの本文です。The quick brown fox 0123456789.\r\n").toUtf8();
    QByteArray text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes)
        text += line;
    return text;
}

QByteArray textMessage(qint64 bytes)
{
    return "From: big@example.jp\r\nTo: orvbench@example.jp\r\nSubject: big text\r\n"
           "Date: Wed, 9 Dec 2026 09:05:00 +0900\r\nMIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
           textLines(bytes);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        die(QStringLiteral("cannot write ") + path);
}

// An .eml with one attachment of `bytes` bytes once base64-encoded, written a line at a
// time so that the benchmark itself stays small.
void writeAttachmentMessage(const QString &path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        die(QStringLiteral("cannot write ") + path);
    file.write(
        "From: big@example.jp\r\nSubject: big file\r\nDate: Wed, 9 Dec 2026 09:05:00 +0900\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nThe file is attached.\r\n"
        "--b\r\nContent-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment; filename=\"big.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n");
    QByteArray raw(57 * 1024, '\0');
    for (qsizetype i = 0; i < raw.size(); ++i)
        raw[i] = char((i * 131) % 251);
    const QByteArray encoded = raw.toBase64();
    QByteArray block;
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        block += encoded.mid(i, 76) + "\r\n";
    for (qint64 written = 0; written < bytes; written += block.size())
        file.write(block);
    file.write("--b--\r\n");
}

struct ProcessRun {
    double seconds = 0;
    qint64 peakBytes = 0;
};

// The program run to its end as a process of its own, with its peak resident memory.
ProcessRun runProgram(const QString &executable, const QStringList &arguments)
{
    std::vector<std::string> words = {executable.toStdString()};
    for (const QString &argument : arguments)
        words.push_back(argument.toStdString());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        die(QStringLiteral("orvaine %1 failed").arg(arguments.join(u' ')));
    return {timer.nsecsElapsed() / 1e9, qint64(usage.ru_maxrss) * 1024};
}

struct Figure {
    double seconds = 0;
    double peakVsInput = 0;
};

class ImportRuns {
public:
    ImportRuns()
    {
        m_executable = m_folder.copyProgram();
        m_idleBytes = runProgram(m_executable, {QStringLiteral("--version")}).peakBytes;
    }

    Figure import(const QString &source, qint64 messageBytes)
    {
        QFile::remove(m_folder.file(QStringLiteral("\\★MAilData\\krvdata2.data")));
        QDir(m_folder.file(QStringLiteral("\\添付フォルダ"))).removeRecursively();
        QDir().mkpath(m_folder.file(QStringLiteral("\\添付フォルダ")));
        const ProcessRun run = runProgram(m_executable, {QStringLiteral("--import-mbox"), source});
        return {run.seconds, double(run.peakBytes - m_idleBytes) / double(messageBytes)};
    }

    QString scratch(const char *name) const
    {
        return m_folder.path() + QLatin1Char('/') + QLatin1String(name);
    }

private:
    test::TempProgramFolder m_folder;
    QString m_executable;
    qint64 m_idleBytes = 0;
};

qint64 statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ':';
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stoll(line.substr(prefix.size()));
    return 0;
}

// The peak is counted above the program as it stands with its main window open, as the
// import side counts above `orvaine --version`: what one receive run adds.
Figure receiveOne(const Pop3TestServer &server, qint64 bytes)
{
    server.clear();
    const QByteArray message = textMessage(bytes);
    server.deliver(message);
    ReceiveProgram program(server, server.host() + u':' + QString::number(server.plainPort()));
    std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
    const qint64 before = statusKb("VmRSS");
    const ReceiveTiming timing = program.receive(1);
    const qint64 peak = statusKb("VmHWM");
    return {timing.seconds, double(peak - before) * 1024 / double(message.size())};
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    {
        ImportRuns runs;
        const QString small = runs.scratch("50.mbox");
        const QString large = runs.scratch("200.mbox");
        const QByteArray fromLine = "From big@example.jp Wed Dec  9 00:05:00 2026\n";
        writeFile(small, fromLine + textMessage(50 * kMb));
        writeFile(large, fromLine + textMessage(200 * kMb));
        const Figure fifty = runs.import(small, 50 * kMb);
        const Figure twoHundred = runs.import(large, 200 * kMb);
        std::printf("big_import_ms_per_mb=%.2f\nbig_import_scaling=%.3f\n"
                    "big_import_peak_vs_input=%.3f\n",
                    twoHundred.seconds * 1000 / 200, twoHundred.seconds / (4 * fifty.seconds),
                    qMax(fifty.peakVsInput, twoHundred.peakVsInput));
        std::fflush(stdout);
        QFile::remove(small);
        QFile::remove(large);

        const QString attachment = runs.scratch("attachment.eml");
        writeAttachmentMessage(attachment, 200 * kMb);
        const Figure file = runs.import(attachment, QFileInfo(attachment).size());
        std::printf("big_attachment_import_ms_per_mb=%.2f\nbig_attachment_peak_vs_input=%.3f\n",
                    file.seconds * 1000 / 200, file.peakVsInput);
        std::fflush(stdout);
    }

    OwnServer ownServer;
    const Pop3TestServer server = benchServer();
    const Figure twenty = receiveOne(server, 20 * kMb);
    const Figure eighty = receiveOne(server, 80 * kMb);
    std::printf("big_receive_ms_per_mb=%.2f\nbig_receive_scaling=%.3f\n"
                "big_receive_peak_vs_input=%.3f\n",
                eighty.seconds * 1000 / 80, eighty.seconds / (4 * twenty.seconds),
                qMax(twenty.peakVsInput, eighty.peakVsInput));
    return 0;
}
