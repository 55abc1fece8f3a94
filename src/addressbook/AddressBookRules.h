#pragma once

#include <QString>

namespace orv {

// The display form of an address: the business-card name, "<", the address without its
// blanks at both ends, ">". The card name is taken as typed.
QString businessCardAddress(const QString &cardName, const QString &address);

// Why a business-card name cannot stand in front of an address, or "" when it can. The
// send splits recipients at "," and reads the address between "<" and ">", and a quote
// would open a quoted name that never closes, so a name holding any of them could never
// be delivered.
QString businessCardNameProblem(const QString &cardName);

// Why an entry cannot be registered, or "" when it can: a name or an address longer than
// its 90-byte field in code page 932 would be stored cut, and a cut address can never be
// delivered.
QString registrationProblem(const QString &name, const QString &address);

// The help texts the address book window shows while the pointer is over a button.
namespace addressbook {
QString command1Help();
QString command3Help();
QString command4Help();
QString command38Help();
} // namespace addressbook

} // namespace orv
