#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace orv::mime {

struct Mailbox {
    QString name; // may be empty
    QString address;
};

// Reads an address field as the user types it: one address, several separated by commas,
// or the address book's "name<address>" form. Nothing, and a Japanese reason in `error`,
// when an entry holds a line break or another control character, a stray "<" or ">", or
// is no mail address: such text must never reach the server.
std::optional<QList<Mailbox>> parseAddressList(const QString &text, QString *error);

} // namespace orv::mime
