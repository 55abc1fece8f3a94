// The receive journal: what a run that never saw its QUIT confirmed leaves behind, and how
// the next run uses it.
#include "store/MailStore.h"
#include "support/ScriptedPop3Server.h"
#include "support/TempProgramFolder.h"
#include "transport/NMailFacade.h"
#include "transport/Receive.h"
#include "transport/ReceiveJournal.h"

#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace orv {
namespace {

MailRecord recordWithSubject(const QString &subject)
{
    MailRecord record;
    record.setSubject(subject);
    return record;
}

TEST(ReceiveJournal, HoldsOnlyMessagesWhoseRecordReachedTheStore)
{
    struct Case {
        const char *name;
        bool recordAppended;
        bool lineCutShort;
        bool held;
    };
    const Case cases[] = {
        {"the record is in the store", true, false, true},
        {"the record never arrived", false, false, false},
        {"the line was cut short by a crash", true, true, false},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        test::TempProgramFolder folder;
        MailStore store = MailStore::ReceivedStore(folder.appDir());
        MailRecord earlier = recordWithSubject(QStringLiteral("earlier"));
        ASSERT_TRUE(store.Append(earlier).ok());
        {
            ReceiveJournal journal(folder.appDir());
            MailRecord record = recordWithSubject(QStringLiteral("stored"));
            ASSERT_TRUE(journal.add("U:1", record).ok());
            if (row.recordAppended) {
                ASSERT_TRUE(store.Append(record).ok());
            }
            ASSERT_TRUE(journal.sync().ok());
        }
        if (row.lineCutShort) {
            QFile file(ReceiveJournal(folder.appDir()).path());
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.resize(file.size() - 1));
        }

        ReceiveJournal next(folder.appDir());
        ASSERT_TRUE(next.load(store).ok());
        EXPECT_EQ(next.holds("U:1"), row.held);
        EXPECT_FALSE(next.holds("U:2"));
    }
}

TEST(ReceiveJournal, IdsComeFromTheUidlOrFromTheHeaderAndSize)
{
    EXPECT_EQ(receiveId(QStringLiteral("abc123"), "Subject: x\r\n", 10), QByteArray("U:abc123"));
    const QByteArray digest = receiveId(QString(), "Subject: x\r\n", 10);
    EXPECT_TRUE(digest.startsWith("D:"));
    EXPECT_NE(digest, receiveId(QString(), "Subject: x\r\n", 11));
    EXPECT_NE(digest, receiveId(QString(), "Subject: y\r\n", 10));
    EXPECT_EQ(digest, receiveId(QString(), "Subject: x\r\n", 10));
}

// The real library, but QUIT never gets through: the connection drops just before it, as
// when the program is killed there.
class QuitNeverArrives : public NMailFacade {
public:
    QuitNeverArrives() : NMailFacade(nullptr, pop3::Options()) {}
    int NMailPop3Close(int handle) override
    {
        NMailPop3Abort(handle);
        return nmail::kFailed;
    }
};

ReceiveOutcome receiveFrom(MailLibrary &mail, const test::TempProgramFolder &folder,
                           const QString &server)
{
    ReceiveRun run(mail, ReceiveRequest{folder.appDir(), server, false, QStringLiteral("user"),
                                        QStringLiteral("secret")});
    QSignalSpy finished(&run, &ReceiveRun::finished);
    run.start();
    if (!finished.wait(30000))
        return {};
    return finished[0][0].value<ReceiveOutcome>();
}

TEST(ReceiveJournal, TheRunAfterALostQuitDeletesWithoutStoringAgain)
{
    for (const bool uidl : {true, false}) {
        SCOPED_TRACE(uidl ? "by UIDL" : "by header digest");
        test::FaultScript script;
        script.uidl = uidl;
        for (const char *subject : {"one", "two", "three"})
            script.messages.append("From: a@example.jp\r\nSubject: " + QByteArray(subject) +
                                   "\r\n\r\ntext\r\n");
        test::ScriptedPop3Server server(script);
        test::TempProgramFolder folder;
        MailStore store = MailStore::ReceivedStore(folder.appDir());
        const QString journalPath = ReceiveJournal(folder.appDir()).path();

        QuitNeverArrives lost;
        const ReceiveOutcome first = receiveFrom(lost, folder, server.setting());
        EXPECT_EQ(first.received, 3);
        EXPECT_EQ(store.RecordCount(), 3);
        EXPECT_TRUE(QFile::exists(journalPath));

        NMailFacade mail(nullptr, pop3::Options());
        const ReceiveOutcome second = receiveFrom(mail, folder, server.setting());
        EXPECT_EQ(second.received, 0);
        EXPECT_FALSE(second.mailLeftOnServer);
        EXPECT_EQ(store.RecordCount(), 3) << "nothing stored twice";
        EXPECT_FALSE(QFile::exists(journalPath));
        const test::FaultLog log = server.finish();
        EXPECT_EQ(log.deleted, QList<int>({1, 2, 3}));
        // With UIDL the messages are not even fetched again.
        EXPECT_EQ(log.commands.count("RETR 1"), uidl ? 1 : 2);
    }
}

} // namespace
} // namespace orv
