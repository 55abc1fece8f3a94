#include "exchange/AddressCommand.h"

#include "exchange/AddressExchange.h"

namespace orv::exchange {

CommandOutcome importAddressBookCommand(const QStringList &operands, const AppDir &appDir)
{
    AddressStore store(appDir);
    const AddressImportResult result = importAddresses(store, operands.value(0));
    const QString report = importReport(result, -1);
    const bool nothingTaken = result.imported == 0 && result.duplicates.isEmpty();
    if (!result.status || nothingTaken)
        return {kExitFailed, report};
    return {0, report};
}

} // namespace orv::exchange
