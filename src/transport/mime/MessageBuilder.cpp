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

#include <algorithm>
#include <atomic>
#include <optional>
#include <utility>

namespace orv::mime {

namespace {

// RFC 2047 allows 75 characters a word; shorter words keep "Subject: " and the first word
// within a 76-character line.
constexpr qsizetype kMaxEncodedWord = 66;
// Strict servers and readers want header lines no longer than this (RFC 5322).
constexpr qsizetype kMaxHeaderLine = 78;

// Lays out a header's value on lines of at most 78 characters, folding only at the blank
// before a piece. A piece longer than a whole line still gets a line of its own.
class FoldedValue {
public:
    explicit FoldedValue(const QByteArray &fieldName) : m_column(fieldName.size() + 1) {}

    void add(const QByteArray &piece)
    {
        // An empty piece stands for a second blank in a row; folding there would leave a
        // line of nothing but blanks.
        if (m_column + 1 + piece.size() > kMaxHeaderLine && !piece.isEmpty()) {
            m_value += '\n';
            m_column = 0;
        }
        m_value += ' ' + piece;
        m_column += 1 + piece.size();
    }
    void add(const QList<QByteArray> &pieces)
    {
        for (const QByteArray &piece : pieces)
            add(piece);
    }
    // The value as it follows "Name:", starting with its blank or its first fold.
    const QByteArray &value() const { return m_value; }

private:
    QByteArray m_value;
    qsizetype m_column;
};

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

// Pieces that each fit a folded line, after its leading blank.
bool everyPieceFits(const QList<QByteArray> &pieces)
{
    return std::all_of(pieces.cbegin(), pieces.cend(),
                       [](const QByteArray &piece) { return 1 + piece.size() <= kMaxHeaderLine; });
}

QList<QByteArray> encodedPieces(const QString &text)
{
    const bool fitsJis = charsets::encodeIso2022Jp(text).has_value();
    const WordCharset charset = fitsJis ? WordCharset{"ISO-2022-JP", charsets::encodeIso2022Jp}
                                        : WordCharset{"UTF-8", utf8};
    return encodedWords(text, charset);
}

// The pieces of an unstructured header value, each to be preceded by one blank: ASCII text
// folds at its blanks, anything else, or a word no line can hold, is split into
// encoded-words.
QList<QByteArray> textPieces(const QString &text)
{
    const QString clean = withoutControls(text);
    if (isPlainAscii(clean)) {
        const QList<QByteArray> words = clean.toLatin1().split(' ');
        if (everyPieceFits(words))
            return words;
    }
    return encodedPieces(clean);
}

// A display name as pieces: the words of its quoted form (a quoted string may be folded
// at its blanks), or its encoded-words.
QList<QByteArray> phrasePieces(const QString &name)
{
    if (isPlainAscii(name)) {
        const QList<QByteArray> quoted = quotedPhrase(name).split(' ');
        if (everyPieceFits(quoted))
            return quoted;
    }
    return encodedPieces(name);
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

void setDateAndId(GMimeMessage *message, const OutgoingMail &mail)
{
    GDateTime *date = g_date_time_new_from_unix_local(mail.date.toSecsSinceEpoch());
    g_mime_message_set_date(message, date);
    g_date_time_unref(date);
    setFoldedHeader(GMIME_OBJECT(message), "Message-Id",
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

QList<QByteArray> utf8EncodedWords(const QString &text)
{
    return encodedWords(text, WordCharset{"UTF-8", utf8});
}

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
    setDateAndId(built.get(), mail);
    if (Status status = addExtraHeader(object, mail.extraHeader); !status)
        return status;
    g_mime_message_set_mime_part(built.get(), content.get());
    message = serialised(object);
    return Status::success();
}

} // namespace orv::mime
