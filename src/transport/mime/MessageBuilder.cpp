#include "transport/mime/MessageBuilder.h"

#include "transport/mime/Charsets.h"
#include "transport/mime/ControlCharacters.h"
#include "transport/mime/GMimeSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

#include <atomic>
#include <optional>
#include <utility>

namespace orv::mime {

namespace {

// RFC 2047 allows 75 characters a word; shorter words keep "Subject: " and the first word
// within a 76-character line.
constexpr qsizetype kMaxEncodedWord = 66;
const QByteArray kFold = "\n ";

// What `work` gave for the last key on this thread: a bulk send asks the same of every
// message (its subject, its sender's domain, its body unless a fortune goes with it).
template <auto work, typename Key> auto rememberedLast(const Key &key)
{
    using Value = decltype(work(key));
    thread_local std::optional<std::pair<Key, Value>> last;
    if (!last || last->first != key)
        last.emplace(key, work(key));
    return last->second;
}

QString withoutControls(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean)
        if (isControlCharacter(c))
            c = u' ';
    return clean;
}

bool isPlainAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    return !text.contains(QStringLiteral("=?"));
}

struct WordCharset {
    QByteArray name;
    std::optional<QByteArray> (*encode)(const QString &);
};

std::optional<QByteArray> utf8(const QString &text)
{
    return text.toUtf8();
}

// Splits `text` into encoded-words that each hold whole characters in a complete charset
// state, so every word decodes on its own.
QList<QByteArray> encodedWords(const QString &text, const WordCharset &charset)
{
    const QByteArray prefix = "=?" + charset.name + "?B?";
    const auto wordFor = [&](const QString &piece) {
        return prefix + charset.encode(piece)->toBase64() + "?=";
    };
    QList<QByteArray> words;
    QString piece;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString next = piece + text.mid(i, length);
        if (!piece.isEmpty() && wordFor(next).size() > kMaxEncodedWord) {
            words.append(wordFor(piece));
            piece.clear();
            continue;
        }
        piece = next;
        i += length;
    }
    if (!piece.isEmpty())
        words.append(wordFor(piece));
    return words;
}

QByteArray quotedPhrase(const QString &name)
{
    QString escaped = name;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return '"' + escaped.toLatin1() + '"';
}

QByteArray mailboxText(const Mailbox &mailbox)
{
    const QByteArray address = '<' + mailbox.address.toUtf8() + '>';
    const QString name = withoutControls(mailbox.name).trimmed();
    if (name.isEmpty())
        return address;
    const QByteArray phrase = isPlainAscii(name) ? quotedPhrase(name) : encodeHeaderText(name);
    return phrase + ' ' + address;
}

QByteArray mailboxListText(const QList<Mailbox> &mailboxes)
{
    QList<QByteArray> entries;
    for (const Mailbox &mailbox : mailboxes)
        entries.append(mailboxText(mailbox));
    return entries.join("," + kFold);
}

// Sets a header to a value we encoded and folded ourselves; GMime writes it as it is.
void setEncodedHeader(GMimeObject *object, const char *name, const QByteArray &value)
{
    g_mime_object_set_header(object, name, "", nullptr);
    GMimeHeader *header =
        g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
    g_mime_header_set_raw_value(header, QByteArray(' ' + value + '\n').constData());
}

GObjectPtr<GMimeDataWrapper> wrapperFor(const QByteArray &bytes, GMimeContentEncoding encoding)
{
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));
    return GObjectPtr<GMimeDataWrapper>(
        g_mime_data_wrapper_new_with_stream(stream.get(), encoding));
}

QString withLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

// SMTP refuses lines over 998 bytes; a 7bit body cannot be wrapped without changing the text.
bool linesFitSmtp(const QByteArray &bytes)
{
    constexpr qsizetype kMaxLineBytes = 998;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\n')
            continue;
        if (i - lineStart > kMaxLineBytes)
            return false;
        lineStart = i + 1;
    }
    return true;
}

// ISO-2022-JP as Japanese mail programs expect it; UTF-8 in base64 when a character or a
// line does not fit.
GObjectPtr<GMimeObject> bodyPart(const QString &body)
{
    const QString text = withLf(body);
    GObjectPtr<GMimePart> part(GMIME_PART(g_mime_text_part_new_with_subtype("plain")));
    const auto jis = rememberedLast<charsets::encodeIso2022Jp>(text);
    if (jis && linesFitSmtp(*jis)) {
        g_mime_part_set_content(part.get(), wrapperFor(*jis, GMIME_CONTENT_ENCODING_DEFAULT).get());
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), "charset",
                                                 "ISO-2022-JP");
        g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_7BIT);
    } else {
        g_mime_part_set_content(part.get(),
                                wrapperFor(text.toUtf8(), GMIME_CONTENT_ENCODING_DEFAULT).get());
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), "charset", "UTF-8");
        g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
    }
    return GObjectPtr<GMimeObject>(GMIME_OBJECT(part.release()));
}

Status attachmentPart(const QString &path, GObjectPtr<GMimeObject> &part)
{
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (file.error() != QFileDevice::NoError)
        return Status::failure(QStringLiteral("添付ファイル「%1」を読み込めません。（%2）")
                                   .arg(path, file.errorString()));

    const QByteArray type = QMimeDatabase().mimeTypeForFile(path).name().toLatin1();
    const qsizetype slash = type.indexOf('/');
    GObjectPtr<GMimePart> leaf(
        g_mime_part_new_with_type(type.left(slash).constData(), type.mid(slash + 1).constData()));
    g_mime_part_set_content(leaf.get(), wrapperFor(bytes, GMIME_CONTENT_ENCODING_DEFAULT).get());
    g_mime_part_set_content_encoding(leaf.get(), GMIME_CONTENT_ENCODING_BASE64);
    g_mime_object_set_disposition(GMIME_OBJECT(leaf.get()), GMIME_DISPOSITION_ATTACHMENT);
    g_mime_part_set_filename(leaf.get(), QFileInfo(path).fileName().toUtf8().constData());
    part.reset(GMIME_OBJECT(leaf.release()));
    return Status::success();
}

Status contentOf(const OutgoingMail &mail, GObjectPtr<GMimeObject> &content)
{
    GObjectPtr<GMimeObject> body = bodyPart(mail.body);
    if (mail.attachmentPaths.isEmpty()) {
        content = std::move(body);
        return Status::success();
    }
    GObjectPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    g_mime_multipart_add(mixed.get(), body.get());
    for (const QString &path : mail.attachmentPaths) {
        GObjectPtr<GMimeObject> attachment;
        if (Status status = attachmentPart(path, attachment); !status)
            return status;
        g_mime_multipart_add(mixed.get(), attachment.get());
    }
    content.reset(GMIME_OBJECT(mixed.release()));
    return Status::success();
}

Status addExtraHeader(GMimeObject *message, const QString &extraHeader)
{
    static const QRegularExpression fieldName(QStringLiteral("^[!-9;-~]+$"));
    for (const QString &line : withLf(extraHeader).split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(u':');
        const QString name = line.left(colon);
        if (colon <= 0 || !fieldName.match(name).hasMatch())
            return Status::failure(
                QStringLiteral("追加のヘッダー行「%1」の形が正しくありません。").arg(line));
        setEncodedHeader(message, name.toLatin1().constData(),
                         encodeHeaderText(line.mid(colon + 1).trimmed()));
    }
    return Status::success();
}

QByteArray domainOf(const QString &address)
{
    const qsizetype at = address.lastIndexOf(u'@');
    const QByteArray ace = at < 0 ? QByteArray() : QUrl::toAce(address.mid(at + 1));
    return ace.isEmpty() ? QByteArray("orvaine.invalid") : ace;
}

// Unique without asking the system for randomness each time: the time, the process and a
// per-process random start that counts up.
QByteArray messageId(const QByteArray &domain)
{
    static std::atomic<quint64> sequence = QRandomGenerator::system()->generate64();
    return '<' + QByteArray::number(QDateTime::currentMSecsSinceEpoch(), 36) + '.' +
           QByteArray::number(QCoreApplication::applicationPid(), 36) + '.' +
           QByteArray::number(sequence++, 36) + '@' + domain + '>';
}

void setDateAndId(GMimeMessage *message, const OutgoingMail &mail)
{
    GDateTime *date = g_date_time_new_from_unix_local(mail.date.toSecsSinceEpoch());
    g_mime_message_set_date(message, date);
    g_date_time_unref(date);
    setEncodedHeader(GMIME_OBJECT(message), "Message-Id",
                     messageId(rememberedLast<domainOf>(mail.from.address)));
}

QByteArray serialised(GMimeObject *object)
{
    GMimeFormatOptions *options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, options, stream.get());
    g_mime_format_options_free(options);
    return memoryStreamBytes(stream.get());
}

} // namespace

QList<QByteArray> utf8EncodedWords(const QString &text)
{
    return encodedWords(text, WordCharset{"UTF-8", utf8});
}

QByteArray encodeHeaderText(const QString &text)
{
    const QString clean = withoutControls(text);
    if (isPlainAscii(clean))
        return clean.toLatin1();
    const bool fitsJis = charsets::encodeIso2022Jp(clean).has_value();
    const WordCharset charset = fitsJis ? WordCharset{"ISO-2022-JP", charsets::encodeIso2022Jp}
                                        : WordCharset{"UTF-8", utf8};
    return encodedWords(clean, charset).join(kFold);
}

Status buildMessage(const OutgoingMail &mail, QByteArray &message)
{
    ensureGMimeInitialised();
    GObjectPtr<GMimeObject> content;
    if (Status status = contentOf(mail, content); !status)
        return status;

    GObjectPtr<GMimeMessage> built(g_mime_message_new(TRUE));
    GMimeObject *object = GMIME_OBJECT(built.get());
    setEncodedHeader(object, "From", mailboxText(mail.from));
    if (!mail.to.isEmpty())
        setEncodedHeader(object, "To", mailboxListText(mail.to));
    if (!mail.cc.isEmpty())
        setEncodedHeader(object, "Cc", mailboxListText(mail.cc));
    setEncodedHeader(object, "Subject", rememberedLast<encodeHeaderText>(mail.subject));
    setDateAndId(built.get(), mail);
    if (Status status = addExtraHeader(object, mail.extraHeader); !status)
        return status;
    g_mime_message_set_mime_part(built.get(), content.get());
    message = serialised(object);
    return Status::success();
}

} // namespace orv::mime
