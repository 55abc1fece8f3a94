#include "ExchangeTestSupport.h"

#include "exchange/MessageExport.h"
#include "support/TestApp.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListView.h"
#include "viewer/TyakuForm.h"

#include <QAction>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

// The viewer's File menu: export the history on display, import into the received history.
class ExchangeMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString date = QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900");
        records = {
            record(QStringLiteral("会議のお知らせ"), QStringLiteral("山田 <yamada@example.jp>"),
                   date, QStringLiteral("明日は会議です。\r\n")),
            record(QStringLiteral("Lunch"), QStringLiteral("bob@example.org"), date,
                   QStringLiteral("From the canteen\r\n")),
            record(QStringLiteral("①～〓"), QStringLiteral("鈴木 <suzuki@example.jp>"), date,
                   QStringLiteral("記号の本文")),
        };
        t.folder.writeBytes(kReceivedStorePath, storeBytes(records));
        OpenHistoryView(*t.app, ViewMode::Received);
    }
    void TearDown() override { t.app->forms().unloadAll(); }

    TyakuForm &form() { return *t.app->forms().get<TyakuForm>(); }
    void choose(const char *entry)
    {
        auto *action = form().findChild<QAction *>(QLatin1String(entry));
        ASSERT_NE(action, nullptr) << entry;
        action->trigger();
    }
    int rows() { return form().mailListView()->model()->rowCount(); }
    QString lastBox() const
    {
        return t.messageBoxes->shown.empty() ? QString() : t.messageBoxes->shown.back().text;
    }
    QString path(const char *name) const
    {
        return t.folder.path() + QLatin1Char('/') + QLatin1String(name);
    }
    QByteArray fileBytes(const QString &file) const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::vector<MailRecord> records;
    TestApp t;
};

TEST_F(ExchangeMenuTest, ExportedMboxHoldsTheRecordsAndImportAppendsThemToTheList)
{
    ASSERT_EQ(rows(), 3);
    t.fileDialogs->saveAnswers.push_back(path("history.mbox"));
    choose("mexportmbox");
    QByteArray expected;
    const exchange::ExportContext context{exchange::History::Received,
                                          t.app->state().serverSettings.mailAddress};
    for (const MailRecord &r : records)
        exchange::appendRecordAsMboxrd(expected, r, context);
    EXPECT_TRUE(fileBytes(path("history.mbox")) == expected);
    EXPECT_EQ(lastBox(), QStringLiteral("3 件のメールを書き出しました。"));

    // What the history holds already is not imported twice.
    t.fileDialogs->openAnswers.push_back(path("history.mbox"));
    choose("mimportmail");
    EXPECT_EQ(lastBox(), QStringLiteral("0 件のメールを着信履歴に取り込みました。\n"
                                        "3 件はすでに着信履歴にあるため取り込みませんでした。"));
    EXPECT_EQ(t.folder.readBytes(kReceivedStorePath).size(), 3 * MailRecord::kSize);

    t.folder.writeBytes(kReceivedStorePath, storeBytes({records[0]}));
    t.fileDialogs->openAnswers.push_back(path("history.mbox"));
    choose("mimportmail");
    EXPECT_EQ(lastBox(), QStringLiteral("2 件のメールを着信履歴に取り込みました。\n"
                                        "1 件はすでに着信履歴にあるため取り込みませんでした。"));
    EXPECT_EQ(t.folder.readBytes(kReceivedStorePath).size(), 3 * MailRecord::kSize);
    ASSERT_EQ(rows(), 3);
    const QAbstractItemModel *model = form().mailListView()->model();
    QStringList subjects;
    for (int row = 0; row < rows(); ++row)
        subjects << trimBlanks(model->index(row, 0).data().toString());
    for (const MailRecord &r : records)
        EXPECT_EQ(subjects.count(trimBlanks(r.subject())), 1) << r.subject().toStdString();
}

TEST_F(ExchangeMenuTest, EmlExportWritesOneFilePerRecordAndCancelledDialogsDoNothing)
{
    t.fileDialogs->saveAnswers.push_back(path("eml"));
    choose("mexporteml");
    EXPECT_EQ(QDir(path("eml")).entryList(QDir::Files),
              (QStringList{QStringLiteral("00001.eml"), QStringLiteral("00002.eml"),
                           QStringLiteral("00003.eml")}));
    EXPECT_TRUE(
        fileBytes(path("eml") + QStringLiteral("/00002.eml")).contains("Subject: Lunch\r\n"));
    const size_t boxes = t.messageBoxes->shown.size();

    // Cancel in each file dialog: no file, no box, the store as it was.
    const QByteArray store = t.folder.readBytes(kReceivedStorePath);
    t.fileDialogs->saveAnswers.push_back(QString());
    choose("mexportmbox");
    t.fileDialogs->openAnswers.push_back(QString());
    choose("mimportmail");
    EXPECT_EQ(t.messageBoxes->shown.size(), boxes);
    EXPECT_TRUE(t.folder.readBytes(kReceivedStorePath) == store);
    EXPECT_EQ(rows(), 3);
}

TEST_F(ExchangeMenuTest, AnExportChosenOntoTheHistoryItselfIsRefusedAndTheHistoryStays)
{
    const QByteArray store = t.folder.readBytes(kReceivedStorePath);
    t.fileDialogs->saveAnswers.push_back(t.folder.file(kReceivedStorePath));
    choose("mexportmbox");
    EXPECT_TRUE(lastBox().contains(QStringLiteral("自分で使っている"))) << lastBox().toStdString();
    t.fileDialogs->saveAnswers.push_back(t.folder.file(QStringLiteral("\\添付フォルダ\\eml")));
    choose("mexporteml");
    EXPECT_TRUE(lastBox().contains(QStringLiteral("自分で使っている"))) << lastBox().toStdString();
    EXPECT_TRUE(t.folder.readBytes(kReceivedStorePath) == store);
    EXPECT_FALSE(QFile::exists(t.folder.file(QStringLiteral("\\添付フォルダ\\eml"))));
}

} // namespace
} // namespace orv::test
