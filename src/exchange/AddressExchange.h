#pragma once

#include "core/Status.h"
#include "store/AddressStore.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The address book in the forms other programs read and write: CSV and vCard.
namespace orv::exchange {

struct AddressEntry {
    QString name;
    QString address;
    int line = 0; // where the entry starts in the file it came from (1-based)

    bool operator==(const AddressEntry &other) const
    {
        return name == other.name && address == other.address;
    }
};

// Entries read from a file, and the lines refused on the way ("N 行目: reason: text").
struct ParsedAddresses {
    std::vector<AddressEntry> entries;
    QStringList refused;
};

enum class AddressFormat { Csv, VCard };

// .csv is CSV, .vcf and .vcard are vCard; anything else is nothing.
std::optional<AddressFormat> addressFormatOf(const QString &path);

// UTF-8, header row "name,address", RFC 4180 quoting, CR LF.
QByteArray formatCsv(const std::vector<AddressEntry> &entries);
// vCard 3.0 cards with FN, N and EMAIL; the field as stored, when it is more than the bare
// address (the "name<address>" form), also in X-ORVAINE-ADDRESS so that it comes back whole.
QByteArray formatVCards(const std::vector<AddressEntry> &entries);

// UTF-8 (a BOM is skipped) or, when the bytes are not UTF-8, code page 932. The header row
// is optional. A row must hold two fields.
ParsedAddresses parseCsv(const QByteArray &bytes);
// vCard 2.1, 3.0 and 4.0: FN (or N) and the first EMAIL of each card.
ParsedAddresses parseVCards(const QByteArray &bytes);

// The reason an entry cannot be stored as it is (a control character, a character code
// page 932 lacks, a field longer than its 90 bytes, no address); empty when it fits.
QString refusalReason(const AddressEntry &entry);

// Every entry in use of the store, its fields trimmed.
Status readEntries(AddressStore &store, std::vector<AddressEntry> &entries);

// Writes the address book to `path` in the format its extension names, whole or not at all.
Status exportAddresses(AddressStore &store, const QString &path);

struct AddressImportResult {
    Status status = Status::success();
    int imported = 0;
    int duplicates = 0;
    QStringList refused;
};

// Appends the entries of the CSV or vCard file `path` that fit and are not in the address
// book yet; entries that do not fit are refused and listed.
AddressImportResult importAddresses(AddressStore &store, const QString &path);

} // namespace orv::exchange
