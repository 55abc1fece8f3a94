#include "core/ProgramModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <functional>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace orv {
namespace {

// Whatever stands in the program's folder under a module's name, the program gets no table
// and a sentence that names the file, at once.
TEST(ProgramModule, AnythingButTheModuleIsRefusedWithTheFileNamed)
{
    const QString name = QStringLiteral("orvaine-test-module.so");
    const QString path = QCoreApplication::applicationDirPath() + u'/' + name;
    const auto writeFile = [&path](const QByteArray &bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    struct Case {
        const char *what;
        std::function<void()> place;
    };
    const Case cases[] = {
        {"nothing", [] {}},
        {"a FIFO", [&path] { ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); }},
        {"a folder", [&path] { ASSERT_TRUE(QDir().mkdir(path)); }},
        {"a text", [&writeFile] { writeFile("not a library\n"); }},
        {"a truncated library",
         [&writeFile] {
             writeFile(QByteArray("\x7f"
                                  "ELF\x02\x01\x01",
                                  7));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.place();
        QElapsedTimer timer;
        timer.start();
        QString error;
        EXPECT_EQ(loadProgramModule(name, "orvaineTestModule", 1, QStringLiteral("試験"), &error),
                  nullptr);
        EXPECT_LT(timer.elapsed(), 5000);
        EXPECT_TRUE(
            error.contains(QStringLiteral("試験に使うライブラリ（orvaine-test-module.so）")))
            << error.toStdString();
        QFile::remove(path);
        QDir().rmdir(path);
    }
}

} // namespace
} // namespace orv
