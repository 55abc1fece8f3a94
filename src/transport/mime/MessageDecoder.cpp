#include "transport/mime/MessageDecoder.h"

#include "transport/mime/AttachmentFiles.h"
#include "transport/mime/ByteArrayStream.h"
#include "transport/mime/Charsets.h"
#include "transport/mime/FlowedText.h"
#include "transport/mime/GMimeSupport.h"
#include "transport/mime/HeaderText.h"
#include "transport/mime/HtmlText.h"
#include "transport/mime/PartContent.h"

#include "store/MailRecord.h"

#include <QFile>
#include <QStringList>

namespace orv::mime {

namespace {

using nmail::kAttachmentNotWritten;
using nmail::kAttachmentsWritten;
using nmail::kNoAttachments;
using nmail::kSplitMessageIncomplete;

// Characters of decoded body text that can reach a record's body field: each character
// takes at least one byte there, and the margin covers blanks the record trims.
constexpr qsizetype kBodyCharacters = MailRecord::kBodyWidth + 256;
// Raw bytes read first for that many characters; fourfold more each time they fall short.
constexpr qsizetype kFirstPrefixBytes = 4 * kBodyCharacters;

// One pass, whatever the size: every line ends in CR LF.
QString withCrLf(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16 + 2);
    const QChar *begin = text.constData();
    const qsizetype size = text.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = begin[i];
        if (c != u'\r' && c != u'\n')
            continue;
        out.append(begin + runStart, i - runStart);
        out += QStringLiteral("\r\n");
        if (c == u'\r' && i + 1 < size && begin[i + 1] == u'\n')
            ++i;
        runStart = i + 1;
    }
    out.append(begin + runStart, size - runStart);
    return out;
}

bool isRecordBlank(QChar c)
{
    return c == u' ' || c == QChar::Nbsp;
}

// The record keeps a body from its first to its last character that is not blank.
bool fillsBodyField(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isRecordBlank(text[begin]))
        ++begin;
    while (end > begin && isRecordBlank(text[end - 1]))
        --end;
    return end - begin > kBodyCharacters;
}

// The text of the first bytes of something long, as much as can reach the body field:
// `prefix(limit)` gives at most `limit` bytes and whether they are all there is, `textOf`
// reads them (a prefix that is not all cut at a line end). While its text could not fill
// the field, with `before` in front of it, a prefix four times as long is read again:
// time and memory stay in proportion to what is kept, not to the message.
template <typename Prefix, typename TextOf>
QString textOfPrefix(Prefix prefix, TextOf textOf, const QString &before)
{
    for (qsizetype limit = kFirstPrefixBytes;; limit *= 4) {
        const ContentPrefix bytes = prefix(limit);
        if (bytes.complete)
            return textOf(QByteArrayView(bytes.bytes), true);
        QString text = textOf(untilLastLineEnd(bytes.bytes), false);
        if (fillsBodyField(before + text))
            return text;
    }
}

ContentPrefix prefixOfBytes(QByteArrayView bytes, qsizetype limit)
{
    if (bytes.size() <= limit)
        return {bytes.toByteArray(), true};
    return {bytes.first(limit).toByteArray(), false};
}

// Text in no known charset, as the body of a message without structure or a fragment.
template <typename Prefix> QString unlabelledText(Prefix prefix, const QString &before)
{
    return textOfPrefix(
        prefix,
        [](QByteArrayView bytes, bool) {
            return charsets::fittedToCp932(withCrLf(charsets::decode(bytes.toByteArray(), {})));
        },
        before);
}

QByteArray objectBytes(GMimeObject *object)
{
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, stream.get());
    return memoryStreamBytes(stream.get());
}

bool hasMimeType(GMimeObject *object, const char *type, const char *subtype)
{
    GMimeContentType *contentType = g_mime_object_get_content_type(object);
    return contentType && g_mime_content_type_is_type(contentType, type, subtype);
}

bool isMarkedAsAttachment(GMimeObject *object)
{
    GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(object);
    return disposition && g_mime_content_disposition_is_attachment(disposition);
}

// The sender's name for a part, decoded by our own header layer (GMime hands out RFC 2047
// names in Japanese charsets wrongly and path names verbatim).
QString declaredFileName(GMimeObject *object)
{
    if (auto name = headers::parameter(rawHeaderValue(object, "Content-Disposition"), "filename"))
        return *name;
    return headers::parameter(rawHeaderValue(object, "Content-Type"), "name").value_or(QString());
}

QByteArray charsetOf(const QByteArray &contentType)
{
    return headers::parameter(contentType, "charset").value_or(QString()).toLatin1();
}

bool parameterIs(const QByteArray &contentType, const char *name, const char *value)
{
    return headers::parameter(contentType, name)
               .value_or(QString())
               .compare(QLatin1String(value), Qt::CaseInsensitive) == 0;
}

bool isReadableText(GMimeObject *object)
{
    return hasMimeType(object, "text", "plain") || hasMimeType(object, "text", "html");
}

// A text part's bytes as the body shows them: plain text (unflowed when sent flowed) or
// HTML turned into plain text. A prefix that is not all of the part stops before an
// unfinished tag, so that its text is the start of the whole part's text.
QString textOfPart(GMimeObject *part, QByteArrayView bytes, bool complete)
{
    const QByteArray contentType = rawHeaderValue(part, "Content-Type");
    QString text = charsets::decode(bytes.toByteArray(), charsetOf(contentType));
    if (hasMimeType(part, "text", "html")) {
        if (!complete)
            text.truncate(completeHtmlLength(text));
        return charsets::fittedToCp932(htmlToPlainText(text));
    }
    text = withCrLf(text);
    if (hasMimeType(part, "text", "plain") && parameterIs(contentType, "format", "flowed"))
        text = unflowed(text, parameterIs(contentType, "delsp", "yes"));
    return charsets::fittedToCp932(text);
}

// As much of a text part as can reach the body field after `before`.
QString partText(GMimePart *part, const QString &before)
{
    return textOfPrefix([part](qsizetype limit) { return decodedContentPrefix(part, limit); },
                        [part](QByteArrayView bytes, bool complete) {
                            return textOfPart(GMIME_OBJECT(part), bytes, complete);
                        },
                        before);
}

QString generatedName(GMimeObject *object, int number)
{
    static const QList<std::pair<const char *, const char *>> extensions = {
        {"message/rfc822", ".eml"},  {"text/plain", ".txt"},      {"text/html", ".html"},
        {"image/jpeg", ".jpg"},      {"image/png", ".png"},       {"image/gif", ".gif"},
        {"application/pdf", ".pdf"}, {"application/zip", ".zip"},
    };
    QString extension = QStringLiteral(".bin");
    for (const auto &[type, candidate] : extensions) {
        const QByteArray full(type);
        const qsizetype slash = full.indexOf('/');
        if (hasMimeType(object, full.left(slash).constData(), full.mid(slash + 1).constData()))
            extension = QString::fromLatin1(candidate);
    }
    return QStringLiteral("添付ファイル%1%2").arg(number).arg(extension);
}

// Walks a parsed message: text parts become the body, every other leaf an attachment file.
// Text that cannot reach the record's body field is not decoded.
class MessageExpander {
public:
    explicit MessageExpander(const QString &folder) : m_folder(folder) {}

    void visit(GMimeObject *object)
    {
        if (GMIME_IS_MESSAGE_PARTIAL(object)) {
            m_incomplete = true;
            GMimePart *fragment = GMIME_PART(object);
            addBodyPart(unlabelledText(
                [fragment](qsizetype limit) { return decodedContentPrefix(fragment, limit); },
                bodySoFar()));
        } else if (GMIME_IS_MULTIPART(object)) {
            visitMultipart(GMIME_MULTIPART(object));
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            const QByteArray bytes = inner ? objectBytes(GMIME_OBJECT(inner)) : QByteArray();
            saveAttachment(object,
                           [&bytes](QIODevice &file) { return file.write(bytes) == bytes.size(); });
        } else if (GMIME_IS_PART(object)) {
            visitLeaf(GMIME_PART(object));
        }
    }

    QString body() const { return m_body; }
    QStringList writtenPaths() const { return m_writtenPaths; }

    int result(QString *error) const
    {
        if (!m_writeError.isEmpty()) {
            if (error)
                *error = m_writeError;
            return kAttachmentNotWritten;
        }
        if (m_incomplete) {
            if (error)
                *error = QStringLiteral(
                    "分割されたメールの一部だけを受け取ったため、元のメールに組み立てられません。");
            return kSplitMessageIncomplete;
        }
        return m_written > 0 ? kAttachmentsWritten : kNoAttachments;
    }

private:
    void visitMultipart(GMimeMultipart *multipart)
    {
        if (hasMimeType(GMIME_OBJECT(multipart), "multipart", "alternative")) {
            visitAlternatives(multipart);
            return;
        }
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i)
            visit(g_mime_multipart_get_part(multipart, i));
    }

    // Plain text when the sender offers it, else the other alternatives in their order (HTML,
    // or a multipart/related holding the HTML and its pictures); an alternative that holds no
    // text gives way to the next.
    void visitAlternatives(GMimeMultipart *alternative)
    {
        const QList<GMimeObject *> candidates = alternativesByPreference(alternative);
        for (GMimeObject *candidate : candidates) {
            if (m_full || !isBodyText(candidate)) {
                visit(candidate);
                return;
            }
            const QString text = partText(GMIME_PART(candidate), bodySoFar());
            if (!text.trimmed().isEmpty()) {
                addBodyPart(text);
                return;
            }
        }
        if (!candidates.isEmpty())
            visit(candidates.front());
    }

    static QList<GMimeObject *> alternativesByPreference(GMimeMultipart *alternative)
    {
        QList<GMimeObject *> plain;
        QList<GMimeObject *> others;
        const int count = g_mime_multipart_get_count(alternative);
        for (int i = 0; i < count; ++i) {
            GMimeObject *candidate = g_mime_multipart_get_part(alternative, i);
            const bool isPlain =
                hasMimeType(candidate, "text", "plain") && !isMarkedAsAttachment(candidate);
            (isPlain ? plain : others).append(candidate);
        }
        return plain + others;
    }

    static bool isBodyText(GMimeObject *object)
    {
        return GMIME_IS_PART(object) && !GMIME_IS_MESSAGE_PARTIAL(object) &&
               isReadableText(object) && !isMarkedAsAttachment(object) &&
               declaredFileName(object).isEmpty();
    }

    void visitLeaf(GMimePart *part)
    {
        GMimeObject *object = GMIME_OBJECT(part);
        if (!isBodyText(object)) {
            saveAttachment(object,
                           [part](QIODevice &file) { return writeDecodedContent(part, file); });
            return;
        }
        if (!m_full)
            addBodyPart(partText(part, bodySoFar()));
    }

    // The body as far as it goes, with the line break that joins it to the next part.
    QString bodySoFar() const { return m_parts > 0 ? m_body + QStringLiteral("\r\n") : m_body; }

    void addBodyPart(const QString &text)
    {
        if (m_parts++ > 0)
            m_body += QStringLiteral("\r\n");
        m_body += text;
        m_full = fillsBodyField(m_body);
    }

    // A message whose attachments cannot all be written stays on the server and comes
    // again: the files it did write go, so that they do not come twice.
    void saveAttachment(GMimeObject *object, const attachments::ContentWriter &write)
    {
        if (!m_writeError.isEmpty())
            return;
        const QString fallback = generatedName(object, m_written + 1);
        const QString name = attachments::safeFileName(declaredFileName(object), fallback);
        QString path;
        const Status status = attachments::writeNewFile(m_folder, name, write, &path);
        if (status) {
            ++m_written;
            m_writtenPaths.append(path);
            return;
        }
        m_writeError = status.error();
        for (const QString &written : std::as_const(m_writtenPaths))
            QFile::remove(written);
        m_writtenPaths.clear();
    }

    QString m_folder;
    QString m_body;
    int m_parts = 0;
    bool m_full = false;
    int m_written = 0;
    QStringList m_writtenPaths;
    bool m_incomplete = false;
    QString m_writeError;
};

GObjectPtr<GMimeMessage> parseMessage(const QByteArray &rawMessage)
{
    const GObjectPtr<GMimeStream> stream = byteArrayStream(rawMessage);
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    return GObjectPtr<GMimeMessage>(g_mime_parser_construct_message(parser.get(), nullptr));
}

QString textAfterHeader(const QByteArray &rawMessage)
{
    const qsizetype headerSize = headers::headerBlock(rawMessage).size();
    QByteArrayView rest = QByteArrayView(rawMessage).sliced(headerSize);
    if (rest.startsWith("\r\n"))
        rest = rest.sliced(2);
    else if (rest.startsWith('\n'))
        rest = rest.sliced(1);
    return unlabelledText([rest](qsizetype limit) { return prefixOfBytes(rest, limit); },
                          QString());
}

// Each line on its own: a header often mixes a UTF-8 subject with a code page 932 name.
QString rawHeaderText(const QByteArray &block)
{
    QStringList lines;
    for (QByteArray line : block.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(charsets::decode(line, {}));
    }
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

MailHeaderFields decodeHeaderFields(const QByteArray &rawMessage)
{
    const QByteArray block = headers::headerBlock(rawMessage);
    const auto field = [&block](const char *name) {
        return charsets::fittedToCp932(
            headers::decodeText(headers::fieldValue(block, name).value_or(QByteArray())));
    };
    MailHeaderFields fields;
    fields.subject = field("Subject");
    fields.date = field("Date");
    fields.from = field("From");
    fields.header = rawHeaderText(block);
    return fields;
}

int expandMessage(const QByteArray &rawMessage, const QString &attachmentFolder,
                  MailHeaderFields &fields, QString &body, QString *error,
                  const MailHeaderFields *decodedFields, QStringList *writtenFiles)
{
    if (writtenFiles)
        writtenFiles->clear();
    fields = decodedFields ? *decodedFields : decodeHeaderFields(rawMessage);
    if (headers::headerBlock(rawMessage).isEmpty()) {
        body = textAfterHeader(rawMessage);
        return kNoAttachments;
    }
    const GObjectPtr<GMimeMessage> message = parseMessage(rawMessage);
    GMimeObject *root = message ? g_mime_message_get_mime_part(message.get()) : nullptr;
    if (!root) {
        body = textAfterHeader(rawMessage);
        return kNoAttachments;
    }
    MessageExpander expander(attachmentFolder);
    expander.visit(root);
    const int result = expander.result(error);
    body = expander.body();
    if (writtenFiles)
        *writtenFiles = expander.writtenPaths();
    // A structure GMime cannot take apart (a multipart without a boundary) leaves neither
    // text nor attachments; the text as sent is better than nothing.
    if (body.isEmpty() && result == kNoAttachments)
        body = textAfterHeader(rawMessage);
    return result;
}

} // namespace orv::mime
