#include "ExchangeTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

QString run(const QString &program, const QStringList &arguments, int *exitCode,
            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) {
        *exitCode = -1;
        return process.errorString();
    }
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

// Installs one component of this build under `root` as `cmake --install` does; an empty
// component is the program folder itself.
void install(const QString &root, const QString &component)
{
    const QString buildDir = QFileInfo(QStringLiteral(ORVAINE_PROGRAM_DIR)).absolutePath();
    QStringList arguments = {QStringLiteral("--install"), buildDir, QStringLiteral("--prefix"),
                             root};
    if (!component.isEmpty())
        arguments << QStringLiteral("--component") << component;
    int exitCode = 0;
    const QString installed = run(QStringLiteral("cmake"), arguments, &exitCode);
    ASSERT_EQ(exitCode, 0) << installed.toStdString();
}

QString readText(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll());
}

// The desktop component of this build, installed as `cmake --install` installs it.
TEST(DesktopInstall, EntryAndIconInstallUnderSharePointingAtTheProgramFolder)
{
    QTemporaryDir prefix;
    const QString root = prefix.path() + QStringLiteral("/a folder");
    ASSERT_NO_FATAL_FAILURE(install(root, QStringLiteral("desktop")));
    int exitCode = 0;

    const QString entry = root + QStringLiteral("/share/applications/orvaine.desktop");
    const QString validation = run(QStringLiteral("desktop-file-validate"), {entry}, &exitCode);
    EXPECT_EQ(exitCode, 0) << validation.toStdString();
    EXPECT_TRUE(validation.trimmed().isEmpty()) << "no hints either: " << validation.toStdString();

    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\nName=Orvaine Mail\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nName[ja]=オルヴェインメール\n")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("\nExec=\"") + root + QStringLiteral("/orvaine/orvaine\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nIcon=orvaine\n")));

    QFile icon(root + QStringLiteral("/share/icons/hicolor/scalable/apps/orvaine.svg"));
    ASSERT_TRUE(icon.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&icon);
    ASSERT_TRUE(svg.readNextStartElement());
    EXPECT_EQ(svg.name(), QStringLiteral("svg"));
    while (!svg.atEnd())
        svg.readNext();
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
}

// The timer runs the installed program, so the service names it by its installed path,
// written so that systemd reads it back exactly: a blank, "%" and "$" included.
TEST(DesktopInstall, ReceiveTimerRunsTheInstalledProgramEveryTenMinutes)
{
    QTemporaryDir prefix;
    const QString root = prefix.path() + QStringLiteral("/a folder 100% $HOME");
    ASSERT_NO_FATAL_FAILURE(install(root, QString()));
    ASSERT_NO_FATAL_FAILURE(install(root, QStringLiteral("desktop")));
    // The program folder installs with its modules beside the program.
    for (const char *module : {"orvaine-mail.so", "orvaine-print.so"})
        EXPECT_TRUE(QFileInfo(root + QStringLiteral("/orvaine/") + QLatin1String(module)).isFile())
            << module;

    const QString unitDir = root + QStringLiteral("/share/systemd/user/");
    const QString service = unitDir + QStringLiteral("orvaine-receive.service");
    const QString timer = unitDir + QStringLiteral("orvaine-receive.timer");
    const QString serviceText = readText(service);
    EXPECT_TRUE(serviceText.contains(QStringLiteral("\nExecStart=\"") + prefix.path() +
                                     QStringLiteral("/a folder 100%% $HOME/orvaine/orvaine\" "
                                                    "--receive --quiet\n")))
        << serviceText.toStdString();
    EXPECT_TRUE(serviceText.contains(QStringLiteral("\nType=oneshot\n")));
    const QString timerText = readText(timer);
    EXPECT_TRUE(timerText.contains(QStringLiteral("\nOnUnitActiveSec=10min\n")));
    EXPECT_TRUE(timerText.contains(QStringLiteral("\nWantedBy=timers.target\n")));

    const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (analyze.isEmpty())
        GTEST_SKIP() << "systemd-analyze is not installed: the unit files were not verified";
    // As the user's service manager reads them; it needs a runtime folder of its own.
    QTemporaryDir runtimeDir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    int exitCode = 0;
    const QString verified =
        run(analyze, {QStringLiteral("--user"), QStringLiteral("verify"), service, timer},
            &exitCode, environment);
    EXPECT_EQ(exitCode, 0) << verified.toStdString();
    EXPECT_TRUE(verified.trimmed().isEmpty()) << verified.toStdString();
}

} // namespace
} // namespace orv::test
