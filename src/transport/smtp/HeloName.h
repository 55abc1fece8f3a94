#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

namespace orv::smtp {

// The name this machine gives itself in EHLO: its fully qualified domain name when it has
// one, otherwise the address literal of the local address that reaches `serverHost`
// ("[192.0.2.1]", "[IPv6:2001:db8::1]"). Strict servers refuse a bare host name such as
// "vm". Empty when neither can be found.
QByteArray heloName(const QString &serverHost, quint16 port);

// The fully qualified domain name among `candidates` (the host name and what the resolver
// calls it), or nothing: a name without a dot, or localhost under any suffix, is not one.
QByteArray fullyQualifiedName(const QList<QByteArray> &candidates);

// The RFC 5321 address literal for `address`.
QByteArray addressLiteral(const QHostAddress &address);

} // namespace orv::smtp
