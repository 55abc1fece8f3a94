#include "support/JapanTime.h"
#include "transport/mime/Addresses.h"
#include "transport/mime/GMimeSupport.h"
#include "transport/mime/HeaderText.h"
#include "transport/mime/MessageBuilder.h"
#include "transport/mime/MessageDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ctime>
#include <map>

namespace orv::mime {
namespace {

std::string text(const QString &value)
{
    return value.toStdString();
}

OutgoingMail japaneseMail(const QString &subject, const QString &body)
{
    OutgoingMail mail;
    mail.from = {QStringLiteral("山田太郎"), QStringLiteral("yamada@example.jp")};
    mail.to = {{QStringLiteral("鈴木花子"), QStringLiteral("suzuki@example.jp")},
               {QString(), QStringLiteral("sato@example.jp")}};
    mail.cc = {{QStringLiteral("Mr. \"Q\" Cc"), QStringLiteral("cc@example.jp")}};
    mail.subject = subject;
    mail.body = body;
    return mail;
}

QByteArray built(const OutgoingMail &mail)
{
    QByteArray message;
    const Status status = buildMessage(mail, message);
    EXPECT_TRUE(status.ok()) << text(status.error());
    return message;
}

// Every line ends in CR LF, nothing is 8-bit, and no line is longer than SMTP allows.
void expectSafeForSmtp(const QByteArray &message)
{
    EXPECT_TRUE(message.endsWith("\r\n"));
    for (qsizetype i = 0; i < message.size(); ++i) {
        const char c = message[i];
        ASSERT_GE(static_cast<signed char>(c), 0) << "8-bit byte at " << i;
        if (c == '\n') {
            ASSERT_TRUE(i > 0 && message[i - 1] == '\r') << "bare LF at " << i;
        }
        if (c == '\r') {
            ASSERT_TRUE(i + 1 < message.size() && message[i + 1] == '\n') << "bare CR at " << i;
        }
    }
    for (const QByteArray &line : message.split('\n'))
        EXPECT_LE(line.size(), 999) << line.left(60).toStdString();
}

QString contentTypeOfBody(const QByteArray &message)
{
    const QByteArray block = headers::headerBlock(message);
    return QString::fromLatin1(headers::fieldValue(block, "Content-Type").value_or("<none>"));
}

struct Recipient {
    std::string name;
    std::string address;
    bool operator==(const Recipient &) const = default;
};

std::vector<Recipient> recipientsParsedByGMime(const QByteArray &message, GMimeAddressType type)
{
    ensureGMimeInitialised();
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(message.constData(), message.size()));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GObjectPtr<GMimeMessage> parsed(g_mime_parser_construct_message(parser.get(), nullptr));
    std::vector<Recipient> recipients;
    InternetAddressList *list = g_mime_message_get_addresses(parsed.get(), type);
    for (int i = 0; i < internet_address_list_length(list); ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        const char *name = internet_address_get_name(address);
        recipients.push_back({name ? name : "", internet_address_mailbox_get_addr(
                                                    INTERNET_ADDRESS_MAILBOX(address))});
    }
    return recipients;
}

TEST(MessageBuilder, CharsetFollowsTheTextAndTheTextComesBack)
{
    struct Case {
        const char *name;
        QString text;
        const char *charset;
        QString readBack; // as a Windows mail program shows it
    };
    const Case cases[] = {
        {"kanji and kana", QStringLiteral("会議の件です。"), "ISO-2022-JP",
         QStringLiteral("会議の件です。")},
        {"windows wave dash", QStringLiteral("10～20時"), "ISO-2022-JP",
         QStringLiteral("10～20時")},
        {"jis wave dash", QStringLiteral("10〜20時"), "ISO-2022-JP", QStringLiteral("10～20時")},
        {"circled digit", QStringLiteral("①会議"), "UTF-8", QStringLiteral("①会議")},
        {"half-width katakana", QStringLiteral("ｶﾀｶﾅ"), "UTF-8", QStringLiteral("ｶﾀｶﾅ")},
        {"emoji", QStringLiteral("晴れ😀"), "UTF-8", QStringLiteral("晴れ😀")},
        {"ascii only", QStringLiteral("hello"), "ISO-2022-JP", QStringLiteral("hello")},
        {"line too long for seven bits", QString(600, u'本'), "UTF-8", QString(600, u'本')},
    };
    for (const Case &c : cases) {
        const QByteArray message =
            built(japaneseMail(c.text, c.text + QStringLiteral("\r\n二行目\n")));
        expectSafeForSmtp(message);
        EXPECT_TRUE(contentTypeOfBody(message).contains(QString::fromLatin1(c.charset))) << c.name;

        QTemporaryDir folder;
        MailHeaderFields fields;
        QString body;
        EXPECT_EQ(expandMessage(message, folder.path(), fields, body, nullptr), 0) << c.name;
        EXPECT_EQ(text(fields.subject), text(c.readBack)) << c.name;
        EXPECT_EQ(text(body), text(c.readBack + QStringLiteral("\r\n二行目\r\n"))) << c.name;
        EXPECT_EQ(text(fields.from), "山田太郎 <yamada@example.jp>") << c.name;
    }
}

TEST(MessageBuilder, RecipientsKeepTheirNamesForAnyReader)
{
    const QByteArray message = built(japaneseMail(QStringLiteral("s"), QStringLiteral("b")));
    const std::vector<Recipient> to = {{"鈴木花子", "suzuki@example.jp"}, {"", "sato@example.jp"}};
    const std::vector<Recipient> cc = {{"Mr. \"Q\" Cc", "cc@example.jp"}};
    EXPECT_EQ(recipientsParsedByGMime(message, GMIME_ADDRESS_TYPE_TO), to);
    EXPECT_EQ(recipientsParsedByGMime(message, GMIME_ADDRESS_TYPE_CC), cc);
    const QByteArray block = headers::headerBlock(message);
    for (const char *field : {"Date", "Message-Id", "MIME-Version"})
        EXPECT_TRUE(headers::fieldValue(block, field).has_value()) << field;
    EXPECT_TRUE(headers::fieldValue(block, "Message-Id")->endsWith("@example.jp>"));
}

TEST(MessageBuilder, LongSubjectIsFoldedIntoShortLines)
{
    const QString subject = QString(60, u'長') + QString(30, u'①');
    const QByteArray message = built(japaneseMail(subject, QStringLiteral("b")));
    const QByteArray block = headers::headerBlock(message);
    for (const QByteArray &line : block.split('\n'))
        EXPECT_LE(line.size(), 78 + 1) << line.toStdString(); // 78 characters and the CR
    EXPECT_EQ(text(decodeHeaderFields(message).subject), text(subject));
}

TEST(MessageBuilder, LineBreaksInASubjectCannotAddAHeader)
{
    for (const QString &subject : {QStringLiteral("hi\r\nBcc: evil@example.com"),
                                   QStringLiteral("会議\nBcc: evil@example.com")}) {
        const QByteArray message = built(japaneseMail(subject, QStringLiteral("b")));
        const QByteArray block = headers::headerBlock(message);
        EXPECT_FALSE(headers::fieldValue(block, "Bcc").has_value()) << block.toStdString();
        EXPECT_TRUE(decodeHeaderFields(message).subject.endsWith(u"Bcc: evil@example.com"));
    }
}

class BuilderAttachments : public ::testing::Test {
protected:
    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_sources.path() + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir m_sources;
};

TEST_F(BuilderAttachments, AttachmentsComeBackWithTheirNamesAndBytes)
{
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    OutgoingMail mail = japaneseMail(QStringLiteral("添付"), QStringLiteral("本文です。"));
    mail.attachmentPaths = {writeFile(QStringLiteral("見積書①.pdf"), "%PDF-1.4"),
                            writeFile(QStringLiteral("data.bin"), binary.repeated(40))};
    const QByteArray message = built(mail);
    expectSafeForSmtp(message);
    EXPECT_TRUE(message.contains("filename*=")) << "RFC 2231 name expected";

    QTemporaryDir folder;
    MailHeaderFields fields;
    QString body;
    ASSERT_EQ(expandMessage(message, folder.path(), fields, body, nullptr), 1);
    EXPECT_EQ(text(body), "本文です。");
    QStringList names = QDir(folder.path()).entryList(QDir::Files);
    names.sort();
    EXPECT_EQ(names, QStringList({QStringLiteral("data.bin"), QStringLiteral("見積書①.pdf")}));
    QFile copy(folder.path() + QStringLiteral("/data.bin"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), binary.repeated(40));
}

TEST_F(BuilderAttachments, MissingAttachmentIsNamedInTheFailure)
{
    OutgoingMail mail = japaneseMail(QStringLiteral("s"), QStringLiteral("b"));
    const QString missing = m_sources.path() + QStringLiteral("/ない.txt");
    mail.attachmentPaths = {writeFile(QStringLiteral("ok.txt"), "ok"), missing};
    QByteArray message;
    const Status status = buildMessage(mail, message);
    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains(missing)) << text(status.error());
}

// What Python's email package reads from the message's headers.
QJsonObject readByPython(const QByteArray &message)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(ORVAINE_SOURCE_DIR "/tests/transport/header_reader.py")});
    python.write(message);
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// [[name, address], ...] as compact JSON, for readable failures.
std::string mailboxesAsJson(const QList<Mailbox> &mailboxes)
{
    QJsonArray list;
    for (const Mailbox &mailbox : mailboxes)
        list.append(QJsonArray{mailbox.name, mailbox.address});
    return QJsonDocument(list).toJson(QJsonDocument::Compact).toStdString();
}

std::string jsonText(const QJsonValue &value)
{
    return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact).toStdString();
}

TEST_F(BuilderAttachments, EveryHeaderLineFitsAndStrictReadersGetTheNamesBack)
{
    struct Case {
        const char *name;
        OutgoingMail mail;
        QList<Mailbox> replyTo; // written as an extra header line
    };
    const auto with = [](auto change) {
        OutgoingMail mail = japaneseMail(QStringLiteral("件名"), QStringLiteral("本文"));
        change(mail);
        return mail;
    };
    const QString longName =
        QStringLiteral("株式会社オルヴェイン・メール開発本部　第一営業部長　山田太郎");
    const QString longAddress =
        QStringLiteral("a.very.long.local-part.for.testing.folding@mail.subdomain.example.co.jp");
    const QList<Mailbox> several = {
        {QStringLiteral("鈴木花子"), QStringLiteral("suzuki@example.jp")},
        {QString(), QStringLiteral("sato@example.jp")},
        {QStringLiteral("①番窓口㈱"), QStringLiteral("window1@example.jp")},
        {QStringLiteral("Tanaka Ichiro"), QStringLiteral("tanaka@example.jp")},
        {QStringLiteral("高橋"), QStringLiteral("takahashi@example.jp")},
        {QString(), QStringLiteral("watanabe@example.jp")},
    };
    const Case cases[] = {
        {"long japanese display name",
         with([&](OutgoingMail &m) {
             m.from = {longName, QStringLiteral("yamada@example.jp")};
         }),
         {}},
        {"long name outside iso-2022-jp",
         with([&](OutgoingMail &m) {
             m.to = {{QString(12, u'①') + longName, longAddress}};
         }),
         {}},
        {"long address",
         with([&](OutgoingMail &m) {
             m.to = {{QStringLiteral("鈴木"), longAddress}};
         }),
         {}},
        {"several to and cc entries",
         with([&](OutgoingMail &m) {
             m.to = several;
             m.cc = several;
         }),
         {}},
        {"long ascii display name",
         with([](OutgoingMail &m) {
             m.cc = {{QStringLiteral("Professor Emeritus Johann Sebastian Bach, Thomasschule zu "
                                     "Leipzig \"Cantor\""),
                      QStringLiteral("bach@example.de")}};
         }),
         {}},
        {"reply-to with a long name",
         with([](OutgoingMail &) {}),
         {{QStringLiteral("経理部　請求書のお問い合わせ窓口　担当　山田"),
           QStringLiteral("billing-contact@example.co.jp")}}},
        {"long ascii subject",
         with([](OutgoingMail &m) {
             m.subject =
                 QStringLiteral("Re: ").repeated(3) +
                 QStringLiteral("minutes of the meeting on folding header lines ").repeated(4);
         }),
         {}},
        {"ascii subject with a word no line holds",
         with([](OutgoingMail &m) { m.subject = QStringLiteral("see ") + QString(120, u'x'); }),
         {}},
        {"long japanese subject",
         with([](OutgoingMail &m) { m.subject = QString(45, u'長') + QString(20, u'①'); }),
         {}},
    };
    const QString attachment = writeFile(
        QStringLiteral("株式会社オルヴェイン御中_御見積書_第二版_最終確認済み.pdf"), "%PDF");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        OutgoingMail mail = c.mail;
        mail.attachmentPaths = {attachment};
        if (!c.replyTo.isEmpty())
            mail.extraHeader = QStringLiteral("Reply-To: %1<%2>")
                                   .arg(c.replyTo.first().name, c.replyTo.first().address);
        const QByteArray message = built(mail);
        expectSafeForSmtp(message);
        // Every line: the body is short and base64 lines are 76 characters.
        for (const QByteArray &line : message.split('\n'))
            EXPECT_LE(line.size(), 78 + 1) << line.toStdString(); // 78 characters and the CR

        const QJsonObject read = readByPython(message);
        EXPECT_EQ(jsonText(read.value(u"from")), mailboxesAsJson({mail.from}));
        EXPECT_EQ(jsonText(read.value(u"to")), mailboxesAsJson(mail.to));
        EXPECT_EQ(jsonText(read.value(u"cc")), mailboxesAsJson(mail.cc));
        EXPECT_EQ(jsonText(read.value(u"reply-to")), mailboxesAsJson(c.replyTo));
        EXPECT_EQ(text(read.value(u"subject").toString()), text(mail.subject));
        EXPECT_EQ(read.value(u"filenames").toArray(), QJsonArray{QFileInfo(attachment).fileName()});
    }
}

// The charset parameter of every attachment, by file name.
std::map<std::string, std::string> attachmentCharsets(const QByteArray &message)
{
    ensureGMimeInitialised();
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(message.constData(), message.size()));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GObjectPtr<GMimeMessage> parsed(g_mime_parser_construct_message(parser.get(), nullptr));
    GMimeMultipart *mixed = GMIME_MULTIPART(g_mime_message_get_mime_part(parsed.get()));
    std::map<std::string, std::string> charsets;
    for (int i = 1; i < g_mime_multipart_get_count(mixed); ++i) {
        GMimeObject *part = g_mime_multipart_get_part(mixed, i);
        const char *charset = g_mime_object_get_content_type_parameter(part, "charset");
        charsets[g_mime_part_get_filename(GMIME_PART(part))] = charset ? charset : "<none>";
    }
    return charsets;
}

TEST_F(BuilderAttachments, TextAttachmentsSayWhichCharsetTheirBytesAreIn)
{
    struct Case {
        const char *file;
        QByteArray bytes;
        const char *charset;
    };
    const Case cases[] = {
        {"ascii.txt", "plain text only\r\n", "<none>"},
        {"utf8.txt", QStringLiteral("日本語①～\r\n").toUtf8(), "UTF-8"},
        // 日本語①～髙 in code page 932: ① and 髙 are outside Shift_JIS proper.
        {"cp932.txt", "\x93\xfa\x96\x7b\x8c\xea\x87\x40\x81\x60\xfb\xfc\r\n", "Shift_JIS"},
        {"cp932.csv", "\x96\xbc\x91\x4f,\x8f\x5a\x8f\x8a\r\n", "Shift_JIS"},
        {"jis.txt", "\x1b$BF|K\\8l\x1b(B\r\n", "ISO-2022-JP"},
        {"unreadable.txt", "\xff\xfe\xfd\x80\x80", "<none>"},
        {"utf8.pdf", QStringLiteral("日本語").toUtf8(), "<none>"},
    };
    OutgoingMail mail = japaneseMail(QStringLiteral("添付"), QStringLiteral("本文"));
    std::map<std::string, std::string> expected;
    for (const Case &c : cases) {
        mail.attachmentPaths.append(writeFile(QString::fromLatin1(c.file), c.bytes));
        expected[c.file] = c.charset;
    }
    EXPECT_EQ(attachmentCharsets(built(mail)), expected);
}

TEST(MessageBuilder, ExtraHeaderLinesAreAddedOrRefused)
{
    OutgoingMail mail = japaneseMail(QStringLiteral("s"), QStringLiteral("b"));
    mail.extraHeader = QStringLiteral("X-Priority: 3\r\nX-Note: 会議\r\n");
    const QByteArray block = headers::headerBlock(built(mail));
    EXPECT_EQ(headers::fieldValue(block, "X-Priority").value_or("<none>"), "3");
    EXPECT_EQ(text(headers::decodeText(headers::fieldValue(block, "X-Note").value_or("<none>"))),
              "会議");

    mail.extraHeader = QStringLiteral("not a header line");
    QByteArray message;
    EXPECT_FALSE(buildMessage(mail, message).ok());
}

// The builder's bytes for a table of mails, pinned by fixtures written in Japan's time: its
// encoded-words and their folding, its charset choice and its date form. Only the Message-Id,
// which is new every time, is left out.
using BuiltBytes = test::InJapanTime;

QByteArray withoutMessageId(QByteArray message)
{
    const qsizetype at = message.indexOf("\r\nMessage-Id: ");
    const qsizetype end = at < 0 ? -1 : message.indexOf("\r\n", at + 2);
    if (end > at)
        message.remove(at, end - at);
    return message;
}

TEST_F(BuiltBytes, EveryMailIsBuiltByteForByteAsItsFixture)
{
    const QList<Mailbox> two = {{QStringLiteral("鈴木花子"), QStringLiteral("suzuki@example.jp")},
                                {QString(), QStringLiteral("sato@example.jp")}};
    struct Case {
        const char *name; // the fixture's file name, without ".eml"
        QString subject, body;
        QList<Mailbox> to;
        QString extraHeader;
    };
    const Case cases[] = {
        {"japanese",
         QStringLiteral("会議のご案内"),
         QStringLiteral("山田です。\r\nよろしく。\r\n"),
         two,
         {}},
        {"ascii",
         QStringLiteral("Hello there"),
         QStringLiteral("Hi\r\n"),
         {{QStringLiteral("Bob Q. \"Jr\""), QStringLiteral("bob@example.com")}},
         {}},
        {"long_japanese_subject",
         QStringLiteral("とても長い件名の").repeated(8),
         QStringLiteral("本文\r\n"),
         two,
         {}},
        {"long_ascii_subject",
         QStringLiteral("A rather long plain subject line that goes on and on past the "
                        "seventy-eight columns of a header"),
         QStringLiteral("b"),
         two,
         {}},
        {"long_ascii_word", QStringLiteral("x").repeated(90), QStringLiteral("b"), two, {}},
        {"windows_forms", QStringLiteral("～－∥①"), QStringLiteral("～－∥￢①㈱\r\n"), two, {}},
        {"not_jis", QStringLiteral("髙﨑さん 😀"), QStringLiteral("髙﨑です 😀\r\n"), two, {}},
        {"long_body_line", QStringLiteral("s"), QStringLiteral("あ").repeated(600), two, {}},
        {"many_recipients",
         QStringLiteral("s"),
         QStringLiteral("b"),
         {{QStringLiteral("鈴木花子"), QStringLiteral("a1@example.jp")},
          {QStringLiteral("佐藤一郎"), QStringLiteral("a2@example.jp")},
          {QStringLiteral("Tanaka Jiro"), QStringLiteral("a3@example.jp")},
          {QStringLiteral("株式会社オルヴェーヌ・メール開発部"), QStringLiteral("a4@example.jp")}},
         {}},
        {"extra_header", QStringLiteral("s"), QStringLiteral("b"), two,
         QStringLiteral("Reply-To: 山田 <reply@example.jp>\nX-Note: 日本語のメモ")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        OutgoingMail mail;
        mail.from = {QStringLiteral("山田太郎"), QStringLiteral("yamada@example.jp")};
        mail.to = c.to;
        mail.subject = c.subject;
        mail.body = c.body;
        mail.extraHeader = c.extraHeader;
        mail.date = QDateTime(QDate(2026, 12, 9), QTime(9, 5, 7));
        QFile fixture(QStringLiteral(ORVAINE_SOURCE_DIR "/tests/transport/fixtures/builder/%1.eml")
                          .arg(QLatin1String(c.name)));
        ASSERT_TRUE(fixture.open(QIODevice::ReadOnly)) << fixture.fileName().toStdString();
        EXPECT_EQ(withoutMessageId(built(mail)).toStdString(), fixture.readAll().toStdString());
    }
}

TEST(AddressList, UserFormsAreReadAndInjectionsRefused)
{
    struct Case {
        const char *name;
        QString text;
        std::optional<std::vector<Recipient>> expected;
    };
    const Case cases[] = {
        {"bare address", QStringLiteral("a@example.jp"),
         std::vector<Recipient>{{"", "a@example.jp"}}},
        {"address book form", QStringLiteral("山田 太郎<yamada@example.jp>"),
         std::vector<Recipient>{{"山田 太郎", "yamada@example.jp"}}},
        {"several with blanks", QStringLiteral(" a@example.jp , B <b@example.jp>,"),
         std::vector<Recipient>{{"", "a@example.jp"}, {"B", "b@example.jp"}}},
        {"quoted name with comma", QStringLiteral("\"Sato, Ken\" <ken@example.jp>"),
         std::vector<Recipient>{{"Sato, Ken", "ken@example.jp"}}},
        {"empty", QString(), std::vector<Recipient>{}},
        {"crlf injection", QStringLiteral("a@example.jp>\r\nRCPT TO:<evil@example.com"),
         std::nullopt},
        {"trailing line feed", QStringLiteral("a@example.jp\n"), std::nullopt},
        {"other control character", QStringLiteral("a\x01@example.jp"), std::nullopt},
        {"stray bracket", QStringLiteral("a@example.jp>"), std::nullopt},
        {"two bracket pairs", QStringLiteral("x <a@example.jp> <b@example.jp>"), std::nullopt},
        {"text after bracket", QStringLiteral("<a@example.jp> x"), std::nullopt},
        {"no at sign", QStringLiteral("yamada.example.jp"), std::nullopt},
        {"blank inside address", QStringLiteral("Name a@example.jp"), std::nullopt},
    };
    for (const Case &c : cases) {
        QString error;
        const auto parsed = parseAddressList(c.text, &error);
        ASSERT_EQ(parsed.has_value(), c.expected.has_value()) << c.name;
        if (!parsed) {
            EXPECT_TRUE(error.contains(u"送信しませんでした")) << c.name;
            EXPECT_FALSE(error.contains(u'\n')) << c.name;
            continue;
        }
        std::vector<Recipient> got;
        for (const Mailbox &m : *parsed)
            got.push_back({text(m.name), text(m.address)});
        EXPECT_EQ(got, *c.expected) << c.name;
    }
}

} // namespace
} // namespace orv::mime
