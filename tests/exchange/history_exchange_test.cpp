#include "ExchangeTestSupport.h"

#include "core/Cp932.h"
#include "exchange/HistoryExchange.h"
#include "exchange/Mbox.h"
#include "exchange/MessageExport.h"
#include "support/TempProgramFolder.h"
#include "transport/mime/GMimeSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstring>

namespace orv::test {
namespace {

using namespace orv::exchange;

QString lfText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// What a reader must give back for a record: the fields as the viewer shows them.
struct Expected {
    QString subject, address, date, body;
};

Expected expectedOf(const MailRecord &r)
{
    return {trimBlanks(r.subject()), trimBlanks(r.address()), trimBlanks(r.date()),
            lfText(trimBlanks(r.body()))};
}

class HistoryExchangeTest : public ::testing::Test {
protected:
    void writeStore(const QString &store, const std::vector<MailRecord> &records)
    {
        folder.writeBytes(store, storeBytes(records));
    }
    QString exportReceivedMbox()
    {
        MailStore store = MailStore::ReceivedStore(folder.appDir());
        const QString path = folder.path() + QStringLiteral("/export.mbox");
        const ExchangeResult result = exportMbox(store, {History::Received, {}}, path);
        EXPECT_TRUE(result.status) << result.status.error().toStdString();
        return path;
    }

    TempProgramFolder folder;
};

TEST_F(HistoryExchangeTest, PythonsMailboxModuleReadsBackEveryField)
{
    const std::vector<MailRecord> records = awkwardReceivedRecords();
    writeStore(kReceivedStorePath, records);
    const QString path = exportReceivedMbox();

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(ORVAINE_SOURCE_DIR "/tests/exchange/mbox_reader.py"), path});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray messages = QJsonDocument::fromJson(python.readAllStandardOutput()).array();

    ASSERT_EQ(messages.size(), qsizetype(records.size()));
    for (size_t i = 0; i < records.size(); ++i) {
        const QJsonObject message = messages[qsizetype(i)].toObject();
        const Expected expected = expectedOf(records[i]);
        SCOPED_TRACE(i);
        EXPECT_EQ(message[u"subject"].toString(), expected.subject);
        EXPECT_EQ(message[u"from"].toString(), expected.address);
        EXPECT_EQ(message[u"date"].toString(), expected.date);
        // A text part ends with a line end for Python whether or not the body did.
        QString body = message[u"body"].toString();
        if (!expected.body.endsWith(u'\n') && body.endsWith(u'\n'))
            body.chop(1);
        EXPECT_EQ(body, expected.body);
        EXPECT_TRUE(message[u"id"].toString().startsWith(u'<'));
    }
}

QString gmimeText(char *text)
{
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

TEST_F(HistoryExchangeTest, GMimesMboxParserReadsBackEveryField)
{
    const std::vector<MailRecord> records = awkwardReceivedRecords();
    writeStore(kReceivedStorePath, records);
    QFile file(exportReceivedMbox());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray mbox = file.readAll();

    mime::ensureGMimeInitialised();
    mime::GObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(mbox.constData(), static_cast<size_t>(mbox.size())));
    mime::GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MBOX);
    size_t index = 0;
    while (!g_mime_parser_eos(parser.get())) {
        mime::GObjectPtr<GMimeMessage> message(
            g_mime_parser_construct_message(parser.get(), nullptr));
        ASSERT_TRUE(message);
        ASSERT_LT(index, records.size());
        SCOPED_TRACE(index);
        const Expected expected = expectedOf(records[index]);
        EXPECT_EQ(QString::fromUtf8(g_mime_message_get_subject(message.get())), expected.subject);
        QString from = gmimeText(internet_address_list_to_string(
            g_mime_message_get_from(message.get()), nullptr, FALSE));
        EXPECT_EQ(from.remove(u'"'), expected.address);
        EXPECT_EQ(QString::fromUtf8(g_mime_object_get_header(GMIME_OBJECT(message.get()), "Date")),
                  expected.date);
        GMimeObject *body = g_mime_message_get_body(message.get());
        ASSERT_TRUE(body && GMIME_IS_TEXT_PART(body));
        // GMime leaves the mboxrd quoting of ">From " lines to its caller.
        QString text = lfText(gmimeText(g_mime_text_part_get_text(GMIME_TEXT_PART(body))));
        text.replace(QRegularExpression(QStringLiteral("(?m)^>(>*From )")), QStringLiteral("\\1"));
        // GMime's charset conversion may end a text without a line end with one.
        if (!expected.body.endsWith(u'\n') && text.endsWith(u'\n'))
            text.chop(1);
        EXPECT_EQ(text, expected.body);
        ++index;
    }
    EXPECT_EQ(index, records.size());
}

TEST_F(HistoryExchangeTest, ExportedMboxAndEmlImportIntoAnEmptyStoreByteForByte)
{
    const std::vector<MailRecord> records = awkwardReceivedRecords();
    for (const bool asEml : {false, true}) {
        SCOPED_TRACE(asEml ? "eml" : "mbox");
        TempProgramFolder source;
        source.writeBytes(kReceivedStorePath, storeBytes(records));
        MailStore store = MailStore::ReceivedStore(source.appDir());
        const QString target =
            source.path() + (asEml ? QStringLiteral("/eml") : QStringLiteral("/x.mbox"));
        const ExchangeResult exported =
            asEml ? exportEmlFolder(store, {}, target) : exportMbox(store, {}, target);
        ASSERT_TRUE(exported.status) << exported.status.error().toStdString();
        EXPECT_EQ(exported.count, int(records.size()));

        TempProgramFolder empty;
        const ExchangeResult imported = importMessages(empty.appDir(), importSources(target));
        ASSERT_TRUE(imported.status) << imported.status.error().toStdString();
        EXPECT_EQ(imported.count, int(records.size()));
        const QByteArray expected = storeBytes(records);
        const QByteArray actual = empty.readBytes(kReceivedStorePath);
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < records.size(); ++i) {
            const qsizetype at = qsizetype(i) * MailRecord::kSize;
            MailRecord got;
            std::memcpy(got.data(), actual.constData() + at, MailRecord::kSize);
            SCOPED_TRACE(i + 1);
            EXPECT_EQ(got.subject(), records[i].subject());
            EXPECT_EQ(got.address(), records[i].address());
            EXPECT_EQ(got.date(), records[i].date());
            EXPECT_EQ(got.body(), records[i].body());
            EXPECT_TRUE(got == records[i]) << "byte for byte";
        }
    }
}

// The export takes a quick way for common records; it must write what the careful way writes.
TEST(MboxWriter, TheQuickWayWritesWhatTheCarefulWayWrites)
{
    struct Case {
        const char *what;
        MailRecord record;
        bool quick; // whether the quick way is expected to take it
    };
    const QString date = QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900");
    const QString name = QStringLiteral("送信者 <sender@example.jp>");
    std::vector<Case> cases = {
        {"common Japanese mail",
         record(QStringLiteral("件名 12 のお知らせ"), name, date,
                QStringLiteral("本文 12\r\n").repeated(200)),
         true},
        {"ASCII only",
         record(QStringLiteral("Hello"), QStringLiteral("a@b.example"), date,
                QStringLiteral("Hi\tthere\r\nFrom me\r\n>From you\r\n")),
         true},
        {"half-width kana make UTF-8",
         record(QStringLiteral("ｶﾀｶﾅ"), name, date, QStringLiteral("ｶﾀｶﾅ と 漢字\r\n")), true},
        {"wave dash makes UTF-8",
         record(QStringLiteral("～"), name, date, QStringLiteral("～\r\n")), true},
        {"circled digits make UTF-8",
         record(QStringLiteral("①"), name, date, QStringLiteral("①②\r\n〓\r\n")), true},
        {"JIS line starting with From",
         record(QStringLiteral("s"), name, date, QStringLiteral("From 山田\r\n")), true},
        {"long subject folds into several words",
         record(QStringLiteral("とても長い件名").repeated(6), name, date, QStringLiteral("x\r\n")),
         true},
        {"subject that looks encoded",
         record(QStringLiteral("=?UTF-8?B?eA==?="), name, date, QStringLiteral("x\r\n")), true},
        {"several addressees",
         record(QStringLiteral("s"), QStringLiteral("山田 <a@b.jp>, \"鈴木, 花子\" <c@d.jp>"), date,
                QStringLiteral("x\r\n")),
         true},
        // The careful way carries an empty address in a header of its own.
        {"no address", record(QStringLiteral("s"), QString(), date, QStringLiteral("x\r\n")), false},
        {"empty body", record(QStringLiteral("s"), name, date, QString()), true},
        {"no weekday",
         record(QStringLiteral("s"), name, QStringLiteral("9 Dec 2026 09:05:00 +0900"),
                QStringLiteral("x\r\n")),
         true},
        {"zone comment",
         record(QStringLiteral("s"), name, QStringLiteral("Wed, 09 Dec 2026 09:05:00 +0900 (JST)"),
                QStringLiteral("x\r\n")),
         true},
        {"UTC in the year before",
         record(QStringLiteral("s"), name, QStringLiteral("Fri, 1 Jan 2027 00:30:00 +0900"),
                QStringLiteral("x\r\n")),
         true},
        {"UTC in the day after",
         record(QStringLiteral("s"), name, QStringLiteral("Sun, 28 Feb 2027 23:30:00 -0130"),
                QStringLiteral("x\r\n")),
         true},
        {"wrong weekday",
         record(QStringLiteral("s"), name, QStringLiteral("Mon, 9 Dec 2026 09:05:00 +0900"),
                QStringLiteral("x\r\n")),
         false},
        {"no such day",
         record(QStringLiteral("s"), name, QStringLiteral("29 Feb 2027 09:05:00 +0900"),
                QStringLiteral("x\r\n")),
         false},
        {"unreadable date",
         record(QStringLiteral("s"), name, QStringLiteral("昨日の朝"), QStringLiteral("x\r\n")),
         false},
        {"short hour",
         record(QStringLiteral("s"), name, QStringLiteral("9 Dec 2026 9:05:00 +0900"),
                QStringLiteral("x\r\n")),
         false},
        {"lone line feed", record(QStringLiteral("s"), name, date, QStringLiteral("a\nb\r\n")),
         false},
        {"control character", record(QStringLiteral("s"), name, date, QStringLiteral("a\x01\r\n")),
         false},
        {"long line",
         record(QStringLiteral("s"), name, date,
                QStringLiteral("あ").repeated(400) + QStringLiteral("\r\n")),
         false},
    };
    for (const QString &address :
         {QStringLiteral("山田<a@b.jp>"), QStringLiteral("山田   <a@b.jp>"),
          QStringLiteral("山田 <a@b.jp> (会社)"), QStringLiteral("山田 a@b.jp"),
          QStringLiteral("ｶﾅ <a@b.jp>"), QStringLiteral("山田 <a b@c.jp>"),
          QStringLiteral("Yamada <a@b.jp>"), QStringLiteral("山田 <a@b.jp")})
        cases.push_back({"address form",
                         record(QStringLiteral("s"), address, date, QStringLiteral("x\r\n")),
                         true});
    for (const MailRecord &r : awkwardReceivedRecords())
        cases.push_back({"awkward record", r, false});
    for (const QString &own : {QString(), QStringLiteral("自分 <me@example.jp>")}) {
        const ExportContext context{History::Received, own};
        const MboxWriter writer(context);
        for (const Case &c : cases) {
            SCOPED_TRACE(c.what);
            QByteArray careful;
            appendRecordAsMboxrd(careful, c.record, context);
            QByteArray quick = "before";
            const bool taken = writer.appendQuickly(quick, c.record.data());
            if (c.quick) {
                EXPECT_TRUE(taken);
            }
            if (taken) {
                EXPECT_EQ(quick.toStdString(), "before" + careful.toStdString());
            } else {
                EXPECT_EQ(quick, "before");
            }
            QByteArray either;
            writer.append(either, c.record.data());
            EXPECT_EQ(either.toStdString(), careful.toStdString());
        }
    }
}

// Blocks of records are formatted on several threads; the file keeps the store's order.
TEST_F(HistoryExchangeTest, ALargeExportKeepsTheStoreOrderAcrossBlocksAndThreads)
{
    std::vector<MailRecord> records;
    const std::vector<MailRecord> awkward = awkwardReceivedRecords();
    for (int n = 1; n <= 150; ++n)
        records.push_back(n % 7 == 0 ? awkward[size_t(n / 7) % awkward.size()]
                                     : record(QStringLiteral("件名 %1").arg(n),
                                              QStringLiteral("送信者 <s%1@example.jp>").arg(n),
                                              QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900"),
                                              QStringLiteral("本文 %1\r\n").arg(n)));
    QByteArray bytes = storeBytes(records);
    // Record 40 is marked deleted.
    bytes[qsizetype(39) * MailRecord::kSize + MailRecord::kInUseOffset] = 0;
    folder.writeBytes(kReceivedStorePath, bytes);

    QByteArray expected;
    for (size_t i = 0; i < records.size(); ++i)
        if (i != 39)
            appendRecordAsMboxrd(expected, records[i], {});
    MailStore store = MailStore::ReceivedStore(folder.appDir());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    std::vector<int> reported;
    const ExchangeResult result = writeMbox(store, {}, buffer, [&](int done, int) {
        reported.push_back(done);
        return true;
    });
    EXPECT_TRUE(result.status);
    EXPECT_EQ(result.count, 149);
    EXPECT_TRUE(buffer.data() == expected);
    EXPECT_EQ(reported, (std::vector<int>{32, 64, 96, 128, 150}));

    QBuffer cancelled;
    cancelled.open(QIODevice::WriteOnly);
    const ExchangeResult stopped =
        writeMbox(store, {}, cancelled, [](int done, int) { return done < 64; });
    EXPECT_TRUE(stopped.cancelled);
}

// A file export hands its earlier stretches to the disk while it goes on; the file still
// holds every message once, in the store's order.
TEST_F(HistoryExchangeTest, AnExportLargerThanItsWritebackStretchesIsWholeAndInOrder)
{
    std::vector<MailRecord> records;
    for (int n = 1; n <= 400; ++n)
        records.push_back(record(QStringLiteral("件名 %1").arg(n),
                                 QStringLiteral("送信者 <s%1@example.jp>").arg(n),
                                 QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900"),
                                 QStringLiteral("本文 %1 の行です。\r\n").arg(n).repeated(1400)));
    folder.writeBytes(kReceivedStorePath, storeBytes(records));
    QByteArray expected;
    for (const MailRecord &r : records)
        appendRecordAsMboxrd(expected, r, {});
    ASSERT_GT(expected.size(), qsizetype(16) << 20);

    MailStore store = MailStore::ReceivedStore(folder.appDir());
    const QString path = folder.path() + QStringLiteral("/large.mbox");
    const ExchangeResult result = exportMbox(store, {}, path);
    EXPECT_TRUE(result.status);
    EXPECT_EQ(result.count, 400);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == expected);
}

TEST_F(HistoryExchangeTest, ExportSkipsDeletedRecordsAndLeavesTheStoreAsItWas)
{
    std::vector<MailRecord> records = awkwardReceivedRecords();
    QByteArray bytes = storeBytes(records);
    MailRecord deleted = records[1];
    deleted.setInUse(0);
    bytes.replace(MailRecord::kSize, MailRecord::kSize,
                  QByteArray(deleted.data(), MailRecord::kSize));
    folder.writeBytes(kReceivedStorePath, bytes);

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    MailStore store = MailStore::ReceivedStore(folder.appDir());
    const ExchangeResult result = writeMbox(store, {}, out);

    ASSERT_TRUE(result.status);
    EXPECT_EQ(result.count, int(records.size()) - 1);
    EXPECT_FALSE(out.data().contains("Plain ASCII subject"));
    EXPECT_EQ(folder.readBytes(kReceivedStorePath), bytes);
}

TEST_F(HistoryExchangeTest, MboxrdQuotesFromLinesOneLevelDeeperAndTheReaderUndoesIt)
{
    const MailRecord r = record(QStringLiteral("s"), QStringLiteral("a@example.jp"),
                                QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900"),
                                QStringLiteral("From me\r\n>From you\r\n>>From them\r\nFrom\r\n"));
    QByteArray mbox;
    appendMboxrd(mbox, mboxFromLine(r, {}), messageFromRecord(r, {}));
    appendMboxrd(mbox, mboxFromLine(r, {}), messageFromRecord(r, {}));

    EXPECT_TRUE(mbox.startsWith("From a@example.jp Wed Dec  9 00:05:00 2026\n"));
    EXPECT_TRUE(mbox.contains("\n>From me\n>>From you\n>>>From them\nFrom\n\nFrom a@example.jp"));
    EXPECT_FALSE(mbox.contains('\r'));

    QBuffer device(&mbox);
    device.open(QIODevice::ReadOnly);
    MailFileReader reader(device);
    QByteArray message;
    int count = 0;
    while (reader.next(message)) {
        ++count;
        EXPECT_TRUE(message.endsWith("\r\nFrom me\r\n>From you\r\n>>From them\r\nFrom\r\n"))
            << message.toStdString();
    }
    EXPECT_EQ(count, 2);
}

TEST_F(HistoryExchangeTest, SentRecordsGoOutFromTheOwnAddressToTheRecipientWithTheClockConverted)
{
    const MailRecord r =
        record(QStringLiteral("送信テスト"), QStringLiteral("友達 <friend@example.jp>"),
               QStringLiteral("2026/12/09  9:05:07"), QStringLiteral("本文"));
    const QByteArray message =
        messageFromRecord(r, {History::Sent, QStringLiteral("me@example.jp")});

    EXPECT_TRUE(message.startsWith("From: me@example.jp\r\nTo: =?UTF-8?B?"));
    EXPECT_TRUE(message.contains("?= <friend@example.jp>\r\n"));
    const QDateTime local(QDate(2026, 12, 9), QTime(9, 5, 7));
    EXPECT_TRUE(message.contains("Date: Wed, 09 Dec 2026 09:05:07 "));
    EXPECT_EQ(recordMoment(QStringLiteral("2026/12/09  9:05:07"), History::Sent), local);
    EXPECT_EQ(messageFromRecord(r, {History::Sent, QStringLiteral("me@example.jp")}), message)
        << "a second export gives the same message, Message-ID included";
}

TEST_F(HistoryExchangeTest, HeaderValuesCannotCarryLineBreaks)
{
    const MailRecord r = record(QStringLiteral("a\r\nBcc: x@evil.example"),
                                QStringLiteral("x@example.jp\r\nBcc: y@evil.example"),
                                QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900\r\nX: y"),
                                QStringLiteral("body\r\n"));
    const QByteArray message = messageFromRecord(r, {});
    const QByteArray header = message.left(message.indexOf("\r\n\r\n"));
    EXPECT_FALSE(header.contains("\nBcc")) << header.toStdString();
    EXPECT_FALSE(header.contains("\nX:")) << header.toStdString();
}

TEST_F(HistoryExchangeTest, ImportStopsAtTheStoreLimitAndSaysHowManyWereImported)
{
    // A sparse store one record short of the limit.
    QDir().mkpath(folder.path() + QStringLiteral("/★MAilData"));
    QFile store(folder.file(kReceivedStorePath));
    ASSERT_TRUE(store.open(QIODevice::WriteOnly));
    ASSERT_TRUE(store.resize(qint64(MailStore::kMaxRecords - 1) * MailRecord::kSize));
    store.close();
    QByteArray mbox;
    for (const MailRecord &r : awkwardReceivedRecords())
        appendMboxrd(mbox, mboxFromLine(r, {}), messageFromRecord(r, {}));
    const QString path = folder.path() + QStringLiteral("/in.mbox");
    QFile in(path);
    ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    in.write(mbox);
    in.close();

    const ExchangeResult result = importMessages(folder.appDir(), importSources(path));

    EXPECT_FALSE(result.status);
    EXPECT_TRUE(result.status.error().contains(QStringLiteral("32767")))
        << result.status.error().toStdString();
    EXPECT_EQ(result.count, 1);
    EXPECT_EQ(QFileInfo(folder.file(kReceivedStorePath)).size(),
              qint64(MailStore::kMaxRecords) * MailRecord::kSize);
}

TEST_F(HistoryExchangeTest, ImportExpandsAttachmentsUnderSafeNamesAsReceivingDoes)
{
    const QByteArray message = "From: =?UTF-8?B?5bGx55Sw?= <yamada@example.jp>\n"
                               "Subject: =?ISO-2022-JP?B?GyRCRTpJVRsoQg==?=\n"
                               "Date: Wed, 9 Dec 2026 09:05:00 +0900\n"
                               "MIME-Version: 1.0\n"
                               "Content-Type: multipart/mixed; boundary=\"b\"\n"
                               "\n"
                               "--b\n"
                               "Content-Type: text/plain; charset=UTF-8\n"
                               "\n"
                               "本文です\n"
                               "--b\n"
                               "Content-Type: application/octet-stream\n"
                               "Content-Disposition: attachment; filename=\"../../evil.txt\"\n"
                               "Content-Transfer-Encoding: base64\n"
                               "\n"
                               "aGVsbG8=\n"
                               "--b--\n";
    const QString path = folder.path() + QStringLiteral("/one.eml");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(message);
    file.close();

    const ExchangeResult result = importMessages(folder.appDir(), importSources(path));

    ASSERT_TRUE(result.status) << result.status.error().toStdString();
    MailRecord stored;
    ASSERT_TRUE(MailStore::ReceivedStore(folder.appDir()).Read(1, stored));
    EXPECT_EQ(trimBlanks(stored.subject()), QStringLiteral("添付"));
    EXPECT_EQ(trimBlanks(stored.address()), QStringLiteral("山田 <yamada@example.jp>"));
    EXPECT_TRUE(trimBlanks(stored.body()).startsWith(QStringLiteral("本文です")));
    EXPECT_TRUE(trimBlanks(stored.body()).endsWith(QStringLiteral("展開しました。♪♪♪")))
        << "the text mentions an attachment";
    const QStringList written =
        QDir(folder.file(QStringLiteral("\\添付フォルダ"))).entryList(QDir::Files);
    EXPECT_TRUE(written.contains(QStringLiteral("evil.txt"))) << written.join(u' ').toStdString();
    EXPECT_FALSE(QFile::exists(folder.path() + QStringLiteral("/../evil.txt")));
}

TEST_F(HistoryExchangeTest, ACancelledOrFailedExportLeavesNoFileBehind)
{
    writeStore(kReceivedStorePath, awkwardReceivedRecords());
    MailStore store = MailStore::ReceivedStore(folder.appDir());
    const QString path = folder.path() + QStringLiteral("/cancelled.mbox");

    const ExchangeResult cancelled =
        exportMbox(store, {}, path, [](int done, int) { return done < 2; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(QFile::exists(path));

    const ExchangeResult failed =
        exportMbox(store, {}, folder.path() + QStringLiteral("/no/such/folder/x.mbox"));
    EXPECT_FALSE(failed.status);
    EXPECT_TRUE(failed.status.error().contains(QStringLiteral("x.mbox")));
}

} // namespace
} // namespace orv::test
