#include "transport/mime/MessageBuilder.h"

#include "transport/mime/Charsets.h"
#include "transport/mime/ControlCharacters.h"
#include "transport/mime/EncodedWords.h"
#include "transport/mime/GMimeSupport.h"
#include "transport/mime/MailCharset.h"
#include "transport/mime/MailDate.h"
#include "transport/mime/QuotedPrintable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <optional>
#include <utility>

namespace orv::mime {

namespace {

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

QByteArray quotedPhrase(const QString &name)
{
    QString escaped = name;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return '"' + escaped.toLatin1() + '"';
}

// Pieces that each fit a folded line, after its leading blank.
bool everyPieceFits(const QList<QByteArray> &pieces)
{
    return std::all_of(pieces.cbegin(), pieces.cend(),
                       [](const QByteArray &piece) { return 1 + piece.size() <= kMaxHeaderLine; });
}

// The pieces of an unstructured header value, each to be preceded by one blank: ASCII text
// folds at its blanks, anything else, or a word no line can hold, is split into
// encoded-words.
QList<QByteArray> textPieces(const QString &text)
{
    const QString clean = withoutControls(text);
    if (isPlainHeaderText(clean)) {
        const QList<QByteArray> words = clean.toLatin1().split(' ');
        if (everyPieceFits(words))
            return words;
    }
    return encodedWords(clean);
}

// A display name as pieces: the words of its quoted form (a quoted string may be folded
// at its blanks), or its encoded-words.
QList<QByteArray> phrasePieces(const QString &name)
{
    if (isPlainHeaderText(name)) {
        const QList<QByteArray> quoted = quotedPhrase(name).split(' ');
        if (everyPieceFits(quoted))
            return quoted;
    }
    return encodedWords(name);
}

// Every mailbox of the list as pieces, a comma after all but the last: a fold falls
// between two addresses or between the words of a name, never inside an address.
QList<QByteArray> mailboxListPieces(const QList<Mailbox> &mailboxes)
{
    QList<QByteArray> pieces;
    for (const Mailbox &mailbox : mailboxes) {
        if (!pieces.isEmpty())
            pieces.last() += ',';
        const QString name = withoutControls(mailbox.name).trimmed();
        if (!name.isEmpty())
            pieces += phrasePieces(name);
        pieces.append('<' + mailbox.address.toUtf8() + '>');
    }
    return pieces;
}

// Sets a header to a value we encoded and folded ourselves; GMime writes it as it is.
void setFoldedHeader(GMimeObject *object, const QByteArray &name, const QList<QByteArray> &pieces)
{
    FoldedValue folded(name);
    folded.add(pieces);
    g_mime_object_set_header(object, name.constData(), "", nullptr);
    GMimeHeader *header =
        g_mime_header_list_get_header(g_mime_object_get_header_list(object), name.constData());
    g_mime_header_set_raw_value(header, QByteArray(folded.value() + '\n').constData());
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

MailText inSentCharset(const QString &text)
{
    return inMailCharset(text, WindowsForms::AsJisForms);
}

// ISO-2022-JP as Japanese mail programs expect it; UTF-8 in base64 when a character or a
// line does not fit.
GObjectPtr<GMimeObject> bodyPart(const QString &body)
{
    const QString text = withLf(body);
    GObjectPtr<GMimePart> part(GMIME_PART(g_mime_text_part_new_with_subtype("plain")));
    const MailText encoded = rememberedLast<inSentCharset>(text);
    if (encoded.charset == kIso2022Jp && !hasOverlongLine(encoded.bytes)) {
        g_mime_part_set_content(part.get(),
                                wrapperFor(encoded.bytes, GMIME_CONTENT_ENCODING_DEFAULT).get());
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

bool isSevenBit(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return (c & 0x80) == 0; });
}

// The charset a text attachment's bytes are in, so a reader shows them as they were
// written: none for plain ASCII, and nothing either for bytes no Japanese charset reads.
QByteArray textCharsetOf(const QByteArray &bytes)
{
    if (isSevenBit(bytes))
        return bytes.contains("\x1b$") && charsets::decodeIso2022Jp(bytes) ? "ISO-2022-JP"
                                                                           : QByteArray();
    if (charsets::decodeStrictly(bytes, "UTF-8"))
        return "UTF-8";
    if (charsets::decodeStrictly(bytes, "CP932"))
        return "Shift_JIS";
    return {};
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
    if (type.startsWith("text/"))
        if (const QByteArray charset = textCharsetOf(bytes); !charset.isEmpty())
            g_mime_object_set_content_type_parameter(GMIME_OBJECT(leaf.get()), "charset",
                                                     charset.constData());
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

bool holdsAddresses(const QString &fieldName)
{
    static const QStringList addressFields = {QStringLiteral("From"),     QStringLiteral("Sender"),
                                              QStringLiteral("Reply-To"), QStringLiteral("To"),
                                              QStringLiteral("Cc"),       QStringLiteral("Bcc")};
    return addressFields.contains(fieldName, Qt::CaseInsensitive);
}

// An address field keeps its addresses readable: only the names are encoded.
std::optional<QList<QByteArray>> extraHeaderPieces(const QString &name, const QString &value)
{
    if (!holdsAddresses(name))
        return textPieces(value);
    const auto mailboxes = parseAddressList(value, nullptr);
    if (!mailboxes || mailboxes->isEmpty())
        return std::nullopt;
    return mailboxListPieces(*mailboxes);
}

Status addExtraHeader(GMimeObject *message, const QString &extraHeader)
{
    static const QRegularExpression fieldName(QStringLiteral("^[!-9;-~]+$"));
    for (const QString &line : withLf(extraHeader).split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(u':');
        const QString name = line.left(colon);
        const auto pieces = colon > 0 && fieldName.match(name).hasMatch()
                                ? extraHeaderPieces(name, line.mid(colon + 1).trimmed())
                                : std::nullopt;
        if (!pieces)
            return Status::failure(
                QStringLiteral("追加のヘッダー行「%1」の形が正しくありません。").arg(line));
        setFoldedHeader(message, name.toLatin1(), *pieces);
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

void setDateAndId(GMimeObject *message, const OutgoingMail &mail)
{
    setFoldedHeader(message, "Date", {rfc5322Date(mail.date.toLocalTime())});
    setFoldedHeader(message, "Message-Id",
                    {messageId(rememberedLast<domainOf>(mail.from.address))});
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

QByteArray encodeHeaderText(const QString &text)
{
    FoldedValue folded("Subject");
    folded.add(textPieces(text));
    return folded.value().mid(1);
}

Status buildMessage(const OutgoingMail &mail, QByteArray &message)
{
    ensureGMimeInitialised();
    GObjectPtr<GMimeObject> content;
    if (Status status = contentOf(mail, content); !status)
        return status;

    GObjectPtr<GMimeMessage> built(g_mime_message_new(TRUE));
    GMimeObject *object = GMIME_OBJECT(built.get());
    setFoldedHeader(object, "From", mailboxListPieces({mail.from}));
    if (!mail.to.isEmpty())
        setFoldedHeader(object, "To", mailboxListPieces(mail.to));
    if (!mail.cc.isEmpty())
        setFoldedHeader(object, "Cc", mailboxListPieces(mail.cc));
    setFoldedHeader(object, "Subject", rememberedLast<textPieces>(mail.subject));
    setDateAndId(object, mail);
    if (Status status = addExtraHeader(object, mail.extraHeader); !status)
        return status;
    g_mime_message_set_mime_part(built.get(), content.get());
    message = serialised(object);
    return Status::success();
}

} // namespace orv::mime
