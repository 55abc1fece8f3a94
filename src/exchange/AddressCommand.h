#pragma once

#include "core/AppDir.h"
#include "exchange/CommandLine.h"

#include <QStringList>

namespace orv::exchange {

// `orvaine --import-addresses FILE.csv|FILE.vcf`: imports into the address book of
// `appDir` and reports what it imported and every line it left out. Fails (exit 1) when the
// file cannot be read or nothing in it could be taken.
CommandOutcome importAddressBookCommand(const QStringList &operands, const AppDir &appDir);

} // namespace orv::exchange
