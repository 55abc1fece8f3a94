// Mail brought from other clients: a Maildir, and mbox files whose "From " lines and
// bookkeeping headers other programs wrote.
#include "ExchangeTestSupport.h"

#include "core/TextFile.h"
#include "exchange/HistoryExchange.h"
#include "store/MailStore.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

using namespace orv::exchange;

struct Stored {
    QString subject, body;
};

class OtherClientsTest : public ::testing::Test {
protected:
    void write(const QString &relative, const QByteArray &bytes)
    {
        const QString path = folder.path() + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    std::vector<Stored> import(const QString &relative)
    {
        TempProgramFolder target;
        const ExchangeResult result = importMessages(
            target.appDir(), importSources(folder.path() + QLatin1Char('/') + relative));
        EXPECT_TRUE(result.status) << result.status.error().toStdString();
        MailStore store = MailStore::ReceivedStore(target.appDir());
        std::vector<Stored> stored;
        for (int number = 1; number <= store.RecordCount(); ++number) {
            MailRecord record;
            EXPECT_TRUE(store.Read(number, record));
            stored.push_back({trimBlanks(record.subject()), trimBlanks(record.body())});
        }
        return stored;
    }

    static QByteArray message(const char *subject, const QByteArray &extraHeaders = {})
    {
        return extraHeaders + "From: a@example.jp\nSubject: " + subject +
               "\nDate: Thu, 10 Dec 2026 09:00:00 +0900\n\nbody of " + subject + "\n";
    }

    TempProgramFolder folder;
};

TEST_F(OtherClientsTest, AMaildirComesInDeliveryOrderAcrossCurAndNew)
{
    write(QStringLiteral("Mail/cur/1765324800.M1P10.host:2,S"), message("first"));
    write(QStringLiteral("Mail/new/1765328400.M5P11.host"), message("third"));
    write(QStringLiteral("Mail/cur/1765324800.M9P12.host:2,RS"), message("second"));
    write(QStringLiteral("Mail/new/1765411200.M1P13.host"), message("fourth"));
    QDir().mkpath(folder.path() + QStringLiteral("/Mail/tmp"));
    write(QStringLiteral("Mail/tmp/1765411300.M1P14.host"), message("still arriving"));

    const std::vector<Stored> stored = import(QStringLiteral("Mail"));

    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[0].subject, QStringLiteral("first"));
    EXPECT_EQ(stored[1].subject, QStringLiteral("second"));
    EXPECT_EQ(stored[2].subject, QStringLiteral("third"));
    EXPECT_EQ(stored[3].subject, QStringLiteral("fourth"));
}

TEST_F(OtherClientsTest, OtherClientsFromLinesAndBookkeepingStayOutOfTheMessage)
{
    const QByteArray thunderbird = "From - Thu Dec 10 09:00:00 2026\n" +
                                   message("one", "X-Mozilla-Status: 0001\n"
                                                  "X-Mozilla-Status2: 00000000\n"
                                                  "X-Mozilla-Keys:                     \n") +
                                   "\nFrom - Thu Dec 10 09:05:00 2026\n" +
                                   message("two", "X-Mozilla-Status: 0011\n");
    const QByteArray bounce = "From MAILER-DAEMON Thu Dec 10 09:10:00 2026\n" +
                              message("three", "Status: RO\nX-Status: A\nX-UID: 7\n");
    write(QStringLiteral("Inbox"), thunderbird + "\n" + bounce);

    const std::vector<Stored> stored = import(QStringLiteral("Inbox"));

    ASSERT_EQ(stored.size(), 3u);
    const char *const subjects[] = {"one", "two", "three"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(stored[i].subject, QLatin1String(subjects[i]));
        EXPECT_EQ(stored[i].body, QStringLiteral("body of %1\r\n").arg(QLatin1String(subjects[i])));
    }
}

} // namespace
} // namespace orv::test
