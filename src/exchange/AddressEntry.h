#pragma once

#include "core/Status.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace orv::exchange {

// One name and address as an address book file holds it, before it is checked.
struct AddressEntry {
    QString name;
    QString address;
    int line = 0; // where the entry starts in the file it came from (1-based)

    bool operator==(const AddressEntry &other) const
    {
        return name == other.name && address == other.address;
    }
};

// What a reader took from a file: the entries, and every line or card it left out
// ("N 行目: reason: text"). A file that cannot be read at all fails as a whole and gives
// nothing.
struct ParsedAddresses {
    Status status = Status::success();
    std::vector<AddressEntry> entries;
    QStringList refused;
};

// "N 行目: reason: text", the one form of a refusal.
QString refusedLine(int line, const QString &reason, const QString &text);

} // namespace orv::exchange
