#include "transport/mime/Addresses.h"
#include "transport/mime/GMimeSupport.h"
#include "transport/mime/HeaderText.h"
#include "transport/mime/MessageBuilder.h"
#include "transport/mime/MessageDecoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
