#pragma once

#include "exchange/AddressEntry.h"

#include <QByteArray>

namespace orv::exchange {

// The property in which our own vCards keep an address field that is more than the bare
// address (the "name<address>" form), so that it comes back whole.
inline constexpr char kDisplayFormProperty[] = "X-ORVAINE-ADDRESS";

// vCard 2.1, 3.0 and 4.0 as phones and mail programs write them: folded lines,
// QUOTED-PRINTABLE with soft line breaks, base64 (ENCODING=b), a CHARSET on each value. One
// entry for each EMAIL of a card, the preferred first, named by FN or else by N in Japanese
// order (family name first). A card that has no address or is cut short (no END:VCARD) is
// refused and listed.
ParsedAddresses parseVCards(const QByteArray &bytes);

} // namespace orv::exchange
