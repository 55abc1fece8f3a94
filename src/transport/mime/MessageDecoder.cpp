#include "transport/mime/MessageDecoder.h"

#include "transport/mime/AttachmentFiles.h"
#include "transport/mime/Charsets.h"
#include "transport/mime/FlowedText.h"
#include "transport/mime/GMimeSupport.h"
#include "transport/mime/HeaderText.h"
#include "transport/mime/HtmlText.h"

#include <QFile>
#include <QStringList>

namespace orv::mime {

namespace {

using nmail::kAttachmentNotWritten;
using nmail::kAttachmentsWritten;
using nmail::kNoAttachments;
using nmail::kSplitMessageIncomplete;

QString withCrLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

QByteArray transferDecodedContent(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.get());
    return memoryStreamBytes(stream.get());
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

QString partText(GMimePart *part)
{
    const QByteArray contentType = rawHeaderValue(GMIME_OBJECT(part), "Content-Type");
    const QByteArray charset =
        headers::parameter(contentType, "charset").value_or(QString()).toLatin1();
    const QString text = withCrLf(charsets::decode(transferDecodedContent(part), charset));
    const auto parameterIs = [&contentType](const char *name, const char *value) {
        return headers::parameter(contentType, name)
                   .value_or(QString())
                   .compare(QLatin1String(value), Qt::CaseInsensitive) == 0;
    };
    if (!hasMimeType(GMIME_OBJECT(part), "text", "plain") || !parameterIs("format", "flowed"))
        return text;
    return unflowed(text, parameterIs("delsp", "yes"));
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
class MessageExpander {
public:
    explicit MessageExpander(const QString &folder) : m_folder(folder) {}

    void visit(GMimeObject *object)
    {
        if (GMIME_IS_MESSAGE_PARTIAL(object)) {
            m_incomplete = true;
            m_bodyParts.append(
                withCrLf(charsets::decode(transferDecodedContent(GMIME_PART(object)), {})));
        } else if (GMIME_IS_MULTIPART(object)) {
            visitMultipart(GMIME_MULTIPART(object));
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            saveAttachment(object, inner ? objectBytes(GMIME_OBJECT(inner)) : QByteArray());
        } else if (GMIME_IS_PART(object)) {
            visitLeaf(GMIME_PART(object));
        }
    }

    QString body() const { return m_bodyParts.join(QStringLiteral("\r\n")); }
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
        const int count = g_mime_multipart_get_count(multipart);
        if (hasMimeType(GMIME_OBJECT(multipart), "multipart", "alternative")) {
            if (GMimeObject *best = bestAlternative(multipart))
                visit(best);
            return;
        }
        for (int i = 0; i < count; ++i)
            visit(g_mime_multipart_get_part(multipart, i));
    }

    // Plain text when the sender offers it, else the first alternative (HTML, or a
    // multipart/related holding the HTML and its pictures).
    static GMimeObject *bestAlternative(GMimeMultipart *alternative)
    {
        const int count = g_mime_multipart_get_count(alternative);
        for (int i = 0; i < count; ++i) {
            GMimeObject *candidate = g_mime_multipart_get_part(alternative, i);
            if (hasMimeType(candidate, "text", "plain") && !isMarkedAsAttachment(candidate))
                return candidate;
        }
        return count > 0 ? g_mime_multipart_get_part(alternative, 0) : nullptr;
    }

    void visitLeaf(GMimePart *part)
    {
        GMimeObject *object = GMIME_OBJECT(part);
        const bool readable =
            hasMimeType(object, "text", "plain") || hasMimeType(object, "text", "html");
        if (!readable || isMarkedAsAttachment(object) || !declaredFileName(object).isEmpty()) {
            saveAttachment(object, transferDecodedContent(part));
            return;
        }
        const QString text = partText(part);
        m_bodyParts.append(hasMimeType(object, "text", "html") ? htmlToPlainText(text) : text);
    }

    // A message whose attachments cannot all be written stays on the server and comes
    // again: the files it did write go, so that they do not come twice.
    void saveAttachment(GMimeObject *object, const QByteArray &bytes)
    {
        if (!m_writeError.isEmpty())
            return;
        const QString fallback = generatedName(object, m_written + 1);
        const QString name = attachments::safeFileName(declaredFileName(object), fallback);
        QString path;
        const Status status = attachments::writeNewFile(m_folder, name, bytes, &path);
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
    QStringList m_bodyParts;
    int m_written = 0;
    QStringList m_writtenPaths;
    bool m_incomplete = false;
    QString m_writeError;
};

GObjectPtr<GMimeMessage> parseMessage(const QByteArray &rawMessage)
{
    ensureGMimeInitialised();
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(
        rawMessage.constData(), static_cast<size_t>(rawMessage.size())));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    return GObjectPtr<GMimeMessage>(g_mime_parser_construct_message(parser.get(), nullptr));
}

QString textAfterHeader(const QByteArray &rawMessage)
{
    const QByteArray header = headers::headerBlock(rawMessage);
    QByteArray rest = rawMessage.mid(header.size());
    if (rest.startsWith("\r\n"))
        rest.remove(0, 2);
    else if (rest.startsWith('\n'))
        rest.remove(0, 1);
    return withCrLf(charsets::decode(rest, {}));
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
        return headers::decodeText(headers::fieldValue(block, name).value_or(QByteArray()));
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
