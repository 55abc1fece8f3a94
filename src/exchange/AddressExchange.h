#pragma once

#include "core/Status.h"
#include "exchange/AddressEntry.h"
#include "exchange/CsvAddressReader.h"
#include "exchange/VCardReader.h"
#include "store/AddressStore.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The address book in the forms other programs read and write: CSV and vCard.
namespace orv::exchange {

enum class AddressFormat { Csv, VCard };

// .csv is CSV, .vcf and .vcard are vCard; anything else is nothing.
std::optional<AddressFormat> addressFormatOf(const QString &path);

// UTF-8 with a BOM (so that a spreadsheet in a Japanese locale does not take it for
// Shift_JIS), header row "name,address", RFC 4180 quoting, CR LF; a value a spreadsheet
// would run as a formula is guarded with a leading "'", which the CSV reader takes off.
QByteArray formatCsv(const std::vector<AddressEntry> &entries);
// vCard 3.0 cards with FN, N and EMAIL; the field as stored, when it is more than the bare
// address (the "name<address>" form), also in X-ORVAINE-ADDRESS so that it comes back whole.
QByteArray formatVCards(const std::vector<AddressEntry> &entries);

// The bare address of an address field that is one address: an addr-spec (an "@" with
// something on both sides, no blanks, no characters that separate or quote addresses), or
// the display form "name<addr-spec>" whose name holds none of "<", ">", ",", '"'.
std::optional<QString> singleAddress(const QString &field);

// The reason an entry cannot be stored as it is (no address, not one address, a control
// character, a character code page 932 lacks, a field longer than its 90 bytes); empty when
// it can.
QString refusalReason(const AddressEntry &entry);

// Every entry in use of the store, its fields trimmed.
Status readEntries(AddressStore &store, std::vector<AddressEntry> &entries);

// Writes the address book to `path` in the format its extension names, whole or not at all.
Status exportAddresses(AddressStore &store, const QString &path);

struct AddressImportResult {
    Status status = Status::success();
    int imported = 0;
    QStringList duplicates; // left out: the address is in the book already (any case)
    QStringList refused;    // left out for any other reason, in the order of the file
};

// Appends the entries of the CSV or vCard file `path` that fit and whose address is not in
// the address book yet; every line or card left out is listed with its reason.
AddressImportResult importAddresses(AddressStore &store, const QString &path);

// What an import did, for the user: the count, then the lines left out, at most `listed`
// of each list (all of them when `listed` is negative).
QString importReport(const AddressImportResult &result, qsizetype listed);

} // namespace orv::exchange
