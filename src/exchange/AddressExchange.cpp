#include "exchange/AddressExchange.h"

#include "core/Cp932.h"
#include "exchange/Csv.h"
#include "exchange/InputFile.h"
#include "exchange/MessageExport.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <set>

namespace orv::exchange {

namespace {

const QByteArray kCrLf = "\r\n";
const QByteArray kUtf8Bom = "\xEF\xBB\xBF";
constexpr qsizetype kVCardLineOctets = 75;
// Far more than 32,767 entries of any mail program's export take.
constexpr qint64 kMaxAddressFileBytes = 64 * 1024 * 1024;

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

QByteArray csvValue(const QString &text)
{
    return csv::field(csv::guarded(text)).toUtf8();
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

bool isAddrSpec(const QString &text)
{
    static const QString separators = QStringLiteral("<>()[]\\,;:\"");
    const qsizetype at = text.indexOf(u'@');
    if (at <= 0 || at != text.lastIndexOf(u'@') || at == text.size() - 1)
        return false;
    const QString domain = text.mid(at + 1);
    if (domain.startsWith(u'.') || domain.endsWith(u'.'))
        return false;
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() <= 0x20 || c.unicode() >= 0x7F || separators.contains(c);
    });
}

// The key by which two address fields are the same address: case does not count.
QString addressKey(const QString &field)
{
    return singleAddress(field).value_or(field).toCaseFolded();
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

ParsedAddresses parsedFile(const QString &path, AddressFormat format)
{
    QByteArray bytes;
    if (Status read = readRegularFile(path, kMaxAddressFileBytes, bytes); !read)
        return {read, {}, {}};
    ParsedAddresses parsed = format == AddressFormat::Csv ? parseCsv(bytes) : parseVCards(bytes);
    if (!parsed.status)
        parsed.status = Status::failure(
            QStringLiteral("「%1」を読めません。%2").arg(path, parsed.status.error()));
    return parsed;
}

int lineOf(const QString &refusal)
{
    return refusal.section(u' ', 0, 0).toInt();
}

QString listed(const QStringList &lines, qsizetype limit)
{
    if (limit < 0 || lines.size() <= limit)
        return lines.join(u'\n');
    return lines.mid(0, limit).join(u'\n') +
           QStringLiteral("\n…ほか %1 件").arg(lines.size() - limit);
}

} // namespace

QString refusedLine(int line, const QString &reason, const QString &text)
{
    return QStringLiteral("%1 行目: %2: %3").arg(line).arg(reason, text);
}

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
    QByteArray csv = kUtf8Bom + "name,address\r\n";
    for (const AddressEntry &entry : entries)
        csv += csvValue(entry.name) + ',' + csvValue(entry.address) + kCrLf;
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
            cards += folded(QByteArray(kDisplayFormProperty) + ':' +
                            vCardEscaped(entry.address).toUtf8());
        cards += "END:VCARD\r\n";
    }
    return cards;
}

std::optional<QString> singleAddress(const QString &field)
{
    if (isAddrSpec(field))
        return field;
    const qsizetype open = field.indexOf(u'<');
    if (!field.endsWith(u'>') || open < 0 || open != field.lastIndexOf(u'<'))
        return std::nullopt;
    const QString name = field.left(open);
    const QString address = field.mid(open + 1, field.size() - open - 2);
    const bool plainName = !name.contains(u'>') && !name.contains(u',') && !name.contains(u'"');
    if (!plainName || !isAddrSpec(address))
        return std::nullopt;
    return address;
}

QString refusalReason(const AddressEntry &entry)
{
    if (entry.address.isEmpty())
        return QStringLiteral("アドレスがありません");
    if (QString reason = checkedField(entry.name, QStringLiteral("名前")); !reason.isEmpty())
        return reason;
    if (QString reason = checkedField(entry.address, QStringLiteral("アドレス")); !reason.isEmpty())
        return reason;
    if (!singleAddress(entry.address))
        return QStringLiteral("アドレスが一つのメールアドレスの形ではありません"
                              "（「@」があり空白のないもの一つか、名刺<アドレス>）");
    return {};
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
    if (!format) {
        result.status = Status::failure(
            QStringLiteral("「%1」は .csv か .vcf のファイルではありません。").arg(path));
        return result;
    }
    ParsedAddresses parsed = parsedFile(path, *format);
    result.status = parsed.status;
    result.refused = parsed.refused;
    std::vector<AddressEntry> existing;
    if (result.status)
        result.status = readEntries(store, existing);
    if (!result.status)
        return result;
    std::set<QString> known;
    for (const AddressEntry &entry : existing)
        known.insert(addressKey(entry.address));
    for (const AddressEntry &entry : parsed.entries) {
        const QString shown = entry.name + u',' + entry.address;
        if (const QString reason = refusalReason(entry); !reason.isEmpty()) {
            result.refused.append(refusedLine(entry.line, reason, shown));
        } else if (!known.insert(addressKey(entry.address)).second) {
            result.duplicates.append(refusedLine(
                entry.line, QStringLiteral("アドレス帳にあるアドレスと同じです"), shown));
        } else if (Status appended = store.Append(entry.name, entry.address); !appended) {
            result.status = appended;
            break;
        } else {
            ++result.imported;
        }
    }
    std::stable_sort(result.refused.begin(), result.refused.end(),
                     [](const QString &a, const QString &b) { return lineOf(a) < lineOf(b); });
    return result;
}

QString importReport(const AddressImportResult &result, qsizetype limit)
{
    QString text = QStringLiteral("%1 件をアドレス帳に登録しました。").arg(result.imported);
    if (!result.duplicates.isEmpty())
        text += QStringLiteral("\nアドレス帳にあるアドレスと同じ %1 件は飛ばしました:\n")
                    .arg(result.duplicates.size()) +
                listed(result.duplicates, limit);
    if (!result.refused.isEmpty())
        text += QStringLiteral("\n\n次の %1 件は登録できません:\n").arg(result.refused.size()) +
                listed(result.refused, limit);
    if (!result.status)
        text = result.status.error() + QStringLiteral("\n取り込みを中止しました。") + text;
    return text;
}

} // namespace orv::exchange
