#include "ExchangeTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

QString run(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) {
        *exitCode = -1;
        return process.errorString();
    }
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

// The desktop component of this build, installed as `cmake --install` installs it.
TEST(DesktopInstall, EntryAndIconInstallUnderSharePointingAtTheProgramFolder)
{
    QTemporaryDir prefix;
    const QString root = prefix.path() + QStringLiteral("/a folder");
    const QString buildDir = QFileInfo(QStringLiteral(ORVAINE_PROGRAM_DIR)).absolutePath();
    int exitCode = 0;
    const QString installed =
        run(QStringLiteral("cmake"),
            {QStringLiteral("--install"), buildDir, QStringLiteral("--component"),
             QStringLiteral("desktop"), QStringLiteral("--prefix"), root},
            &exitCode);
    ASSERT_EQ(exitCode, 0) << installed.toStdString();

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

} // namespace
} // namespace orv::test
