#include "exchange/CsvAddressReader.h"

#include "core/Cp932.h"
#include "exchange/Csv.h"
#include "exchange/TextFileEncoding.h"

#include <QSet>

namespace orv::exchange {

namespace {

// Longer rows are cut in the refusal list: a mail program's row has dozens of columns.
constexpr qsizetype kRowShown = 80;

// Gmail writes several addresses of one kind into one field.
const QString kGmailValueSeparator = QStringLiteral(" ::: ");

// A header as it is compared: width folded (NFKC), case folded, without blanks, digits and
// the punctuation that programs put between words.
QString headerKey(const QString &header)
{
    QString key;
    for (const QChar c : header.normalized(QString::NormalizationForm_KC).toCaseFolded())
        if (!c.isSpace() && !c.isDigit() && c != u'-' && c != u'_' && c != u'.' && c != u'・')
            key += c;
    return key;
}

const QSet<QString> &nameHeaders()
{
    static const QSet<QString> keys = {QStringLiteral("name"), QStringLiteral("displayname"),
                                       QStringLiteral("名前"), QStringLiteral("表示名"),
                                       QStringLiteral("氏名")};
    return keys;
}

const QSet<QString> &givenNameHeaders()
{
    static const QSet<QString> keys = {QStringLiteral("firstname"), QStringLiteral("givenname"),
                                       QStringLiteral("名")};
    return keys;
}

const QSet<QString> &familyNameHeaders()
{
    static const QSet<QString> keys = {QStringLiteral("lastname"), QStringLiteral("familyname"),
                                       QStringLiteral("surname"), QStringLiteral("姓")};
    return keys;
}

// Digits are gone from the keys, so "E-mail 2 Address" and 「第 2 電子メールアドレス」 are here.
const QSet<QString> &addressHeaders()
{
    static const QSet<QString> keys = {QStringLiteral("address"),
                                       QStringLiteral("アドレス"),
                                       QStringLiteral("email"),
                                       QStringLiteral("emailaddress"),
                                       QStringLiteral("emailvalue"),
                                       QStringLiteral("primaryemail"),
                                       QStringLiteral("secondaryemail"),
                                       QStringLiteral("mail"),
                                       QStringLiteral("mailaddress"),
                                       QStringLiteral("電子メール"),
                                       QStringLiteral("電子メールアドレス"),
                                       QStringLiteral("第電子メールアドレス"),
                                       QStringLiteral("メール"),
                                       QStringLiteral("メールアドレス"),
                                       QStringLiteral("eメール"),
                                       QStringLiteral("eメールアドレス")};
    return keys;
}

struct Columns {
    QList<qsizetype> name, given, family, address;
};

Columns columnsOf(const QStringList &headers)
{
    Columns columns;
    for (qsizetype i = 0; i < headers.size(); ++i) {
        const QString key = headerKey(headers[i]);
        if (nameHeaders().contains(key))
            columns.name.append(i);
        else if (givenNameHeaders().contains(key))
            columns.given.append(i);
        else if (familyNameHeaders().contains(key))
            columns.family.append(i);
        else if (addressHeaders().contains(key))
            columns.address.append(i);
    }
    return columns;
}

QString value(const csv::Record &record, qsizetype column)
{
    return csv::unguarded(trimBlanks(record.fields.value(column)));
}

QString firstValue(const csv::Record &record, const QList<qsizetype> &columns)
{
    for (const qsizetype column : columns)
        if (QString text = value(record, column); !text.isEmpty())
            return text;
    return {};
}

QString nameOf(const csv::Record &record, const Columns &columns)
{
    if (QString name = firstValue(record, columns.name); !name.isEmpty())
        return name;
    QStringList parts = {firstValue(record, columns.family), firstValue(record, columns.given)};
    parts.removeAll(QString());
    return parts.join(u' ');
}

QString addressOf(const csv::Record &record, const Columns &columns)
{
    const QString address = firstValue(record, columns.address);
    return trimBlanks(address.section(kGmailValueSeparator, 0, 0));
}

QString shown(const QString &text)
{
    return text.size() > kRowShown ? text.left(kRowShown) + u'…' : text;
}

// The reason a row gives no entry at all, or "" when it gives one.
QString rowProblem(const csv::Record &record, qsizetype headerFields, const QString &address)
{
    if (!record.closed)
        return QStringLiteral("引用符 (\") が閉じていません");
    if (record.fields.size() > headerFields)
        return QStringLiteral("列が見出し行より多くあります");
    if (address.isEmpty())
        return QStringLiteral("メールアドレスがありません");
    return {};
}

Status noAddressColumn(const csv::Record &header)
{
    return Status::failure(
        QStringLiteral("1 行目の見出し行にメールアドレスの列がありません（「%1」）。"
                       "1 行目には「名前」「メールアドレス」など列の名前が要ります。")
            .arg(shown(header.text)));
}

} // namespace

ParsedAddresses parseCsv(const QByteArray &bytes)
{
    ParsedAddresses parsed;
    DecodedText decoded = decodeTextFile(bytes);
    if (!decoded.status) {
        parsed.status = decoded.status;
        return parsed;
    }
    const std::vector<csv::Record> records = csv::records(decoded.text);
    if (records.empty()) {
        parsed.status = Status::failure(QStringLiteral("ファイルに何も書かれていません。"));
        return parsed;
    }
    const Columns columns = columnsOf(records.front().fields);
    if (columns.address.isEmpty()) {
        parsed.status = noAddressColumn(records.front());
        return parsed;
    }
    for (size_t i = 1; i < records.size(); ++i) {
        const csv::Record &record = records[i];
        const QString address = addressOf(record, columns);
        const QString problem = rowProblem(record, records.front().fields.size(), address);
        if (problem.isEmpty())
            parsed.entries.push_back({nameOf(record, columns), address, record.line});
        else
            parsed.refused.append(refusedLine(record.line, problem, shown(record.text)));
    }
    return parsed;
}

} // namespace orv::exchange
