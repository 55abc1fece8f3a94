#include "exchange/AddressExchange.h"

#include "core/Cp932.h"
#include "exchange/MessageExport.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <set>

namespace orv::exchange {

namespace {

const QByteArray kCrLf = "\r\n";
constexpr qsizetype kVCardLineOctets = 75;
const QString kDisplayFormProperty = QStringLiteral("X-ORVAINE-ADDRESS");

QString refusedLine(int line, const QString &reason, const QString &text)
{
    return QStringLiteral("%1 行目: %2: %3").arg(line).arg(reason, text);
}

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Text files from other programs: UTF-8 (with or without a BOM) or, from older Japanese
// programs, code page 932.
QString textOf(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (std::optional<QString> text = strictUtf8(bytes))
        return *text;
    return cp932::decode(bytes);
}

QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r') &&
        !bytes.contains('\n'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

// RFC 4180 records: fields separated by commas, quoted fields may hold commas, doubled
// quotes and line breaks. Each record keeps the line it starts on and its raw text.
struct CsvRow {
    QStringList fields;
    int line = 0;
    QString text;
};

std::vector<CsvRow> csvRows(const QString &text)
{
    std::vector<CsvRow> rows;
    CsvRow row;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    int line = 1;
    row.line = 1;
    const auto endField = [&] {
        row.fields.append(field);
        field.clear();
        wasQuoted = false;
    };
    const auto endRow = [&] {
        endField();
        if (!(row.fields.size() == 1 && row.fields[0].isEmpty() && row.text.isEmpty()))
            rows.push_back(row);
        row = CsvRow();
        row.line = line;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += c;
                row.text += QStringLiteral("\"\"");
                ++i;
            } else if (c == u'"') {
                quoted = false;
                row.text += c;
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
                row.text += c;
            }
            continue;
        }
        if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
            row.text += c;
        } else if (c == u',') {
            endField();
            row.text += c;
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue;
        } else if (c == u'\n' || c == u'\r') {
            ++line;
            endRow();
        } else {
            field += c;
            row.text += c;
        }
    }
    if (!field.isEmpty() || !row.fields.isEmpty() || !row.text.isEmpty())
        endRow();
    return rows;
}

bool isHeaderRow(const CsvRow &row)
{
    return row.fields.size() == 2 &&
           row.fields[0].trimmed().compare(QStringLiteral("name"), Qt::CaseInsensitive) == 0 &&
           row.fields[1].trimmed().compare(QStringLiteral("address"), Qt::CaseInsensitive) == 0;
}

QString vCardEscaped(const QString &text)
{
    QString escaped;
    for (QChar c : text) {
        if (c == u'\\' || c == u',' || c == u';')
            escaped += u'\\';
        if (c == u'\n') {
            escaped += QStringLiteral("\\n");
            continue;
        }
        escaped += c;
    }
    return escaped;
}

QString vCardUnescaped(const QString &text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar next = text[++i];
            plain += (next == u'n' || next == u'N') ? QChar(u'\n') : next;
            continue;
        }
        plain += text[i];
    }
    return plain;
}

// Content lines are folded after 75 octets, never inside a UTF-8 sequence.
QByteArray folded(const QByteArray &line)
{
    QByteArray out;
    qsizetype lineOctets = 0;
    for (qsizetype i = 0; i < line.size();) {
        qsizetype length = 1;
        const auto lead = static_cast<unsigned char>(line[i]);
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        if (lineOctets + length > kVCardLineOctets) {
            out += "\r\n ";
            lineOctets = 1;
        }
        out += line.mid(i, length);
        lineOctets += length;
        i += length;
    }
    return out + kCrLf;
}

struct ContentLine {
    QString name; // upper case, without parameters and group
    QString parameters;
    QString value;
    int line = 0;
};

// Unfolds the text and splits it into content lines.
std::vector<ContentLine> contentLines(const QString &text)
{
    std::vector<std::pair<QString, int>> logical;
    const QStringList physical =
        QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');
    for (qsizetype i = 0; i < physical.size(); ++i) {
        const QString &raw = physical[i];
        if (!logical.empty() && (raw.startsWith(u' ') || raw.startsWith(u'\t')))
            logical.back().first += raw.mid(1);
        else if (!raw.trimmed().isEmpty())
            logical.push_back({raw, static_cast<int>(i + 1)});
    }
    std::vector<ContentLine> lines;
    for (const auto &[raw, number] : logical) {
        const qsizetype colon = raw.indexOf(u':');
        ContentLine line;
        line.line = number;
        QString head = colon < 0 ? raw : raw.left(colon);
        line.value = colon < 0 ? QString() : raw.mid(colon + 1);
        const qsizetype semicolon = head.indexOf(u';');
        if (semicolon >= 0) {
            line.parameters = head.mid(semicolon + 1);
            head = head.left(semicolon);
        }
        if (const qsizetype dot = head.lastIndexOf(u'.'); dot >= 0)
            head = head.mid(dot + 1);
        line.name = head.trimmed().toUpper();
        lines.push_back(line);
    }
    return lines;
}

// "Family;Given;Middle;Prefix;Suffix" as one readable name, for cards without FN.
QString nameFromN(const QString &value)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            part += value.mid(i, 2);
            ++i;
        } else if (value[i] == u';') {
            parts.append(part);
            part.clear();
        } else {
            part += value[i];
        }
    }
    parts.append(part);
    QStringList used;
    for (const QString &p : {parts.value(1), parts.value(0)})
        if (!p.trimmed().isEmpty())
            used.append(vCardUnescaped(p).trimmed());
    return used.join(u' ');
}

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

QString checkedField(const QString &text, const QString &what)
{
    for (QChar c : text)
        if (isControl(c))
            return what + QStringLiteral("に制御文字があります");
    const QByteArray bytes = cp932::encode(text);
    if (cp932::decode(bytes) != text)
        return what + QStringLiteral("にShift_JISで書けない文字があります");
    if (bytes.size() > AddressRecord::kNameWidth)
        return what + QStringLiteral("が90バイトを超えています");
    return {};
}

Status writeWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fileFailure(path, QStringLiteral("作成"), file.errorString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fileFailure(path, QStringLiteral("書き込み"), file.errorString());
    return Status::success();
}

} // namespace

std::optional<AddressFormat> addressFormatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QStringLiteral("csv"))
        return AddressFormat::Csv;
    if (suffix == QStringLiteral("vcf") || suffix == QStringLiteral("vcard"))
        return AddressFormat::VCard;
    return std::nullopt;
}

QByteArray formatCsv(const std::vector<AddressEntry> &entries)
{
    QByteArray csv = "name,address\r\n";
    for (const AddressEntry &entry : entries)
        csv += csvField(entry.name) + ',' + csvField(entry.address) + kCrLf;
    return csv;
}

QByteArray formatVCards(const std::vector<AddressEntry> &entries)
{
    QByteArray cards;
    for (const AddressEntry &entry : entries) {
        const QString bare = addrSpec(entry.address);
        const QString email = bare.isEmpty() ? entry.address : bare;
        cards += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        cards += folded("FN:" + vCardEscaped(entry.name).toUtf8());
        cards += folded("N:" + vCardEscaped(entry.name).toUtf8() + ";;;;");
        cards += folded("EMAIL;TYPE=INTERNET:" + vCardEscaped(email).toUtf8());
        if (email != entry.address)
            cards += folded(kDisplayFormProperty.toLatin1() + ':' +
                            vCardEscaped(entry.address).toUtf8());
        cards += "END:VCARD\r\n";
    }
    return cards;
}

ParsedAddresses parseCsv(const QByteArray &bytes)
{
    ParsedAddresses parsed;
    std::vector<CsvRow> rows = csvRows(textOf(bytes));
    for (size_t i = 0; i < rows.size(); ++i) {
        const CsvRow &row = rows[i];
        if (i == 0 && isHeaderRow(row))
            continue;
        if (row.fields.size() != 2) {
            parsed.refused.append(
                refusedLine(row.line, QStringLiteral("列が2つではありません"), row.text));
            continue;
        }
        parsed.entries.push_back({row.fields[0].trimmed(), row.fields[1].trimmed(), row.line});
    }
    return parsed;
}

ParsedAddresses parseVCards(const QByteArray &bytes)
{
    ParsedAddresses parsed;
    std::optional<AddressEntry> card;
    QString nName;
    QString displayForm;
    for (const ContentLine &line : contentLines(textOf(bytes))) {
        if (line.name == QStringLiteral("BEGIN")) {
            card = AddressEntry{{}, {}, line.line};
            nName.clear();
            displayForm.clear();
        } else if (!card) {
            continue;
        } else if (line.name == QStringLiteral("FN")) {
            card->name = vCardUnescaped(line.value).trimmed();
        } else if (line.name == QStringLiteral("N")) {
            nName = nameFromN(line.value);
        } else if (line.name == QStringLiteral("EMAIL") && card->address.isEmpty()) {
            card->address = vCardUnescaped(line.value).trimmed();
        } else if (line.name == kDisplayFormProperty) {
            displayForm = vCardUnescaped(line.value).trimmed();
        } else if (line.name == QStringLiteral("END")) {
            if (card->name.isEmpty())
                card->name = nName;
            if (!displayForm.isEmpty() && addrSpec(displayForm) == card->address)
                card->address = displayForm;
            parsed.entries.push_back(*card);
            card.reset();
        }
    }
    return parsed;
}

QString refusalReason(const AddressEntry &entry)
{
    if (entry.address.isEmpty())
        return QStringLiteral("アドレスがありません");
    if (QString reason = checkedField(entry.name, QStringLiteral("名前")); !reason.isEmpty())
        return reason;
    return checkedField(entry.address, QStringLiteral("アドレス"));
}

Status readEntries(AddressStore &store, std::vector<AddressEntry> &entries)
{
    std::vector<AddressRecord> records;
    if (Status read = store.ReadAll(records); !read)
        return read;
    entries.clear();
    for (const AddressRecord &record : records)
        if (record.inUse() != 0)
            entries.push_back({trimBlanks(record.name()), trimBlanks(record.address()), 0});
    return Status::success();
}

Status exportAddresses(AddressStore &store, const QString &path)
{
    const std::optional<AddressFormat> format = addressFormatOf(path);
    if (!format)
        return Status::failure(
            QStringLiteral("「%1」は .csv か .vcf で終わる名前にして下さい。").arg(path));
    std::vector<AddressEntry> entries;
    if (Status read = readEntries(store, entries); !read)
        return read;
    return writeWhole(path,
                      *format == AddressFormat::Csv ? formatCsv(entries) : formatVCards(entries));
}

AddressImportResult importAddresses(AddressStore &store, const QString &path)
{
    AddressImportResult result;
    const std::optional<AddressFormat> format = addressFormatOf(path);
    QFile file(path);
    if (!format) {
        result.status = Status::failure(
            QStringLiteral("「%1」は .csv か .vcf のファイルではありません。").arg(path));
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = fileFailure(path, QStringLiteral("読み込み"), file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    ParsedAddresses parsed = *format == AddressFormat::Csv ? parseCsv(bytes) : parseVCards(bytes);
    result.refused = parsed.refused;

    std::vector<AddressEntry> existing;
    if (Status read = readEntries(store, existing); !read) {
        result.status = read;
        return result;
    }
    std::set<std::pair<QString, QString>> known;
    for (const AddressEntry &entry : existing)
        known.insert({entry.name, entry.address});
    for (const AddressEntry &entry : parsed.entries) {
        if (const QString reason = refusalReason(entry); !reason.isEmpty()) {
            result.refused.append(
                refusedLine(entry.line, reason, entry.name + QStringLiteral(",") + entry.address));
            continue;
        }
        if (!known.insert({entry.name, entry.address}).second) {
            ++result.duplicates;
            continue;
        }
        if (Status appended = store.Append(entry.name, entry.address); !appended) {
            result.status = appended;
            return result;
        }
        ++result.imported;
    }
    return result;
}

} // namespace orv::exchange
