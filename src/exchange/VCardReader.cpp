#include "exchange/VCardReader.h"

#include "exchange/MessageExport.h"
#include "exchange/TextFileEncoding.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

namespace orv::exchange {

namespace {

// PREF runs from 1 (most preferred) to 100; an address without it comes after those with it.
constexpr int kNotPreferred = 101;

struct Parameter {
    QString key; // upper case; a bare 2.1 parameter ("INTERNET", "QUOTED-PRINTABLE") gets one
    QString value;
};

struct ContentLine {
    QString name; // upper case, without its group
    std::vector<Parameter> parameters;
    QString value; // as written, still escaped and encoded
    int line = 0;

    QString parameter(const QString &key) const
    {
        for (const Parameter &p : parameters)
            if (p.key == key)
                return p.value;
        return {};
    }
};

bool isQuotedPrintableLine(const QString &line)
{
    return line.left(line.indexOf(u':'))
        .contains(QStringLiteral("QUOTED-PRINTABLE"), Qt::CaseInsensitive);
}

// Logical lines with the number of the physical line each starts on: a line that begins
// with a blank continues the one before (folding), and so does the line after a
// quoted-printable value that ends in "=" (a soft line break, which vCard 2.1 writers use
// instead of folding).
std::vector<std::pair<QString, int>> logicalLines(const QString &text)
{
    std::vector<std::pair<QString, int>> logical;
    const QStringList physical = QString(text)
                                     .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                     .replace(u'\r', u'\n')
                                     .split(u'\n');
    bool softBreak = false;
    for (qsizetype i = 0; i < physical.size(); ++i) {
        const QString &raw = physical[i];
        if (!logical.empty() && softBreak)
            logical.back().first += raw;
        else if (!logical.empty() && (raw.startsWith(u' ') || raw.startsWith(u'\t')))
            logical.back().first += raw.mid(1);
        else if (!raw.trimmed().isEmpty())
            logical.push_back({raw, static_cast<int>(i + 1)});
        else
            continue;
        QString &line = logical.back().first;
        softBreak = isQuotedPrintableLine(line) && line.endsWith(u'=');
        if (softBreak)
            line.chop(1);
    }
    return logical;
}

// `text` split at `separator` where it stands outside double quotes.
QStringList splitOutsideQuotes(const QString &text, QChar separator)
{
    QStringList parts;
    QString part;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        if (c == separator && !quoted) {
            parts.append(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.append(part);
    return parts;
}

Parameter parameterOf(const QString &text)
{
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0) {
        static const QStringList encodings = {QStringLiteral("QUOTED-PRINTABLE"),
                                              QStringLiteral("BASE64"), QStringLiteral("8BIT"),
                                              QStringLiteral("7BIT")};
        const QString bare = text.trimmed().toUpper();
        return {encodings.contains(bare) ? QStringLiteral("ENCODING") : QStringLiteral("TYPE"),
                bare};
    }
    QString value = text.mid(equals + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        value = value.mid(1, value.size() - 2);
    return {text.left(equals).trimmed().toUpper(), value};
}

std::optional<qsizetype> colonOutsideQuotes(const QString &text)
{
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'"')
            quoted = !quoted;
        else if (text[i] == u':' && !quoted)
            return i;
    }
    return std::nullopt;
}

ContentLine contentLine(const QString &raw, int number)
{
    ContentLine line;
    line.line = number;
    const std::optional<qsizetype> colon = colonOutsideQuotes(raw);
    const QStringList head = splitOutsideQuotes(colon ? raw.left(*colon) : raw, u';');
    line.value = colon ? raw.mid(*colon + 1) : QString();
    line.name = head.front().section(u'.', -1).trimmed().toUpper();
    for (qsizetype i = 1; i < head.size(); ++i)
        line.parameters.push_back(parameterOf(head[i]));
    return line;
}

// "=XX" is the byte XX; anything else, a stray "=" too, stands for itself.
QByteArray quotedPrintableDecoded(const QByteArray &encoded)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const bool escape = encoded[i] == '=' && i + 2 < encoded.size() &&
                            std::isxdigit(static_cast<unsigned char>(encoded[i + 1])) &&
                            std::isxdigit(static_cast<unsigned char>(encoded[i + 2]));
        if (escape) {
            bytes += static_cast<char>(encoded.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            bytes += encoded[i];
        }
    }
    return bytes;
}

// The value as text: quoted-printable and base64 decoded, read in its CHARSET. Nothing when
// base64 does not read.
std::optional<QString> decodedValue(const ContentLine &line)
{
    const QString encoding = line.parameter(QStringLiteral("ENCODING")).toUpper();
    const QByteArray charset = line.parameter(QStringLiteral("CHARSET")).toLatin1();
    if (encoding == QStringLiteral("QUOTED-PRINTABLE"))
        return decodeLabelledText(quotedPrintableDecoded(line.value.toUtf8()), charset);
    if (encoding == QStringLiteral("B") || encoding == QStringLiteral("BASE64")) {
        const QByteArray encoded = line.value.toLatin1().simplified().replace(' ', QByteArray());
        const auto decoded =
            QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return decodeLabelledText(*decoded, charset);
    }
    return line.value;
}

// The components of a structured value, split at ";" and unescaped.
QStringList components(const QString &value)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            part += (next == u'n' || next == u'N') ? QChar(u'\n') : next;
        } else if (value[i] == u';') {
            parts.append(part);
            part.clear();
        } else {
            part += value[i];
        }
    }
    parts.append(part);
    return parts;
}

QString unescaped(const QString &value)
{
    return components(value).join(u';');
}

// "Family;Given;Middle;Prefix;Suffix" as a name in Japanese order, family name first.
QString nameFromN(const QString &value)
{
    const QStringList parts = components(value);
    QStringList used;
    for (const QString &part : {parts.value(0).trimmed(), parts.value(1).trimmed()})
        if (!part.isEmpty())
            used.append(part);
    return used.join(u' ');
}

int preferenceOf(const ContentLine &line)
{
    bool ok = false;
    const int pref = line.parameter(QStringLiteral("PREF")).toInt(&ok);
    if (ok)
        return pref;
    for (const Parameter &p : line.parameters)
        if (p.key == QStringLiteral("TYPE") &&
            p.value.split(u',').contains(QStringLiteral("PREF"), Qt::CaseInsensitive))
            return 1;
    return kNotPreferred;
}

struct Email {
    QString address;
    int preference = kNotPreferred;
};

// One card between BEGIN:VCARD and END:VCARD.
class Card {
public:
    explicit Card(int line) : m_line(line) {}

    void take(const ContentLine &line)
    {
        static const QStringList used = {QStringLiteral("FN"), QStringLiteral("N"),
                                         QStringLiteral("EMAIL"),
                                         QLatin1String(kDisplayFormProperty)};
        if (!used.contains(line.name))
            return; // a photo or a sound that does not read costs the card nothing
        const std::optional<QString> value = decodedValue(line);
        if (!value) {
            m_problem = QStringLiteral("%1 の base64 が読めません").arg(line.name);
            return;
        }
        if (line.name == QStringLiteral("FN"))
            m_formattedName = unescaped(*value).trimmed();
        else if (line.name == QStringLiteral("N"))
            m_structuredName = nameFromN(*value);
        else if (line.name == QStringLiteral("EMAIL"))
            m_emails.push_back({unescaped(*value).trimmed(), preferenceOf(line)});
        else if (line.name == QLatin1String(kDisplayFormProperty))
            m_displayForm = unescaped(*value).trimmed();
    }

    void end(ParsedAddresses &parsed)
    {
        if (!m_problem.isEmpty())
            return refuse(parsed, m_problem);
        std::erase_if(m_emails, [](const Email &email) { return email.address.isEmpty(); });
        if (m_emails.empty())
            return refuse(parsed, QStringLiteral("メールアドレスがありません"));
        std::stable_sort(m_emails.begin(), m_emails.end(), [](const Email &a, const Email &b) {
            return a.preference < b.preference;
        });
        for (const Email &email : m_emails)
            parsed.entries.push_back({name(), addressField(email.address), m_line});
    }

    void cutShort(ParsedAddresses &parsed)
    {
        refuse(parsed, QStringLiteral("カードが END:VCARD で終わっていません"));
    }

private:
    QString name() const { return m_formattedName.isEmpty() ? m_structuredName : m_formattedName; }

    QString addressField(const QString &address) const
    {
        return !m_displayForm.isEmpty() && addrSpec(m_displayForm) == address ? m_displayForm
                                                                              : address;
    }

    void refuse(ParsedAddresses &parsed, const QString &reason) const
    {
        const QString shown = name().isEmpty() ? QStringLiteral("BEGIN:VCARD") : name();
        parsed.refused.append(refusedLine(m_line, reason, shown));
    }

    int m_line;
    QString m_formattedName;
    QString m_structuredName;
    QString m_displayForm;
    std::vector<Email> m_emails;
    QString m_problem;
};

} // namespace

ParsedAddresses parseVCards(const QByteArray &bytes)
{
    ParsedAddresses parsed;
    const DecodedText decoded = decodeTextFile(bytes);
    if (!decoded.status) {
        parsed.status = decoded.status;
        return parsed;
    }
    std::optional<Card> card;
    bool anyCard = false;
    for (const auto &[raw, number] : logicalLines(decoded.text)) {
        const ContentLine line = contentLine(raw, number);
        const bool vcard =
            line.value.trimmed().compare(QStringLiteral("VCARD"), Qt::CaseInsensitive) == 0;
        if (line.name == QStringLiteral("BEGIN") && vcard) {
            if (card)
                card->cutShort(parsed);
            card.emplace(number);
            anyCard = true;
        } else if (line.name == QStringLiteral("END") && vcard && card) {
            card->end(parsed);
            card.reset();
        } else if (card) {
            card->take(line);
        }
    }
    if (card)
        card->cutShort(parsed);
    if (!anyCard)
        parsed.status = Status::failure(
            QStringLiteral("vCard のカード (BEGIN:VCARD で始まる行) が一つもありません。"));
    return parsed;
}

} // namespace orv::exchange
