#pragma once

#include "exchange/AddressEntry.h"

#include <QByteArray>

namespace orv::exchange {

// An address book in CSV with a header row, as mail programs export it: the columns are
// found by their headers without regard to case, width or language. The name is the first
// non-empty "name", "display name", 「名前」, 「表示名」 or 「氏名」 column, else the family and
// given names joined in Japanese order; the address is the first non-empty column whose
// header names an e-mail address ("e-mail address", "e-mail 1 - value", "primary email",
// 「電子メール アドレス」, 「メールアドレス」 and the like). A file without an address column
// is refused as a whole; a row without an address, with more fields than the header or with
// an open quote is refused and listed.
ParsedAddresses parseCsv(const QByteArray &bytes);

} // namespace orv::exchange
