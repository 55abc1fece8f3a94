#include "transport/smtp/HeloName.h"

#include <QList>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <memory>

namespace orv::smtp {

namespace {

struct AddrInfoFree {
    void operator()(addrinfo *list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoFree>;

AddrInfoList lookUp(const QByteArray &host, const char *service, int flags, int socketType)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = socketType;
    hints.ai_flags = flags;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.constData(), service, &hints, &found) != 0)
        return AddrInfoList();
    return AddrInfoList(found);
}

QList<QByteArray> namesOfThisHost()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    QList<QByteArray> names{QByteArray(name)};
    const AddrInfoList canonical = lookUp(name, nullptr, AI_CANONNAME, SOCK_STREAM);
    if (canonical && canonical->ai_canonname)
        names.append(QByteArray(canonical->ai_canonname));
    return names;
}

// Asked once: the resolver may go to the network, and the answer does not change while the
// program runs.
const QByteArray &thisHostsFullName()
{
    static const QByteArray name = fullyQualifiedName(namesOfThisHost());
    return name;
}

// The local address the system would use to reach the server. Connecting a datagram socket
// sends nothing; it only picks the route.
QHostAddress localAddressTowards(const QString &serverHost, quint16 port)
{
    const AddrInfoList server =
        lookUp(serverHost.toUtf8(), QByteArray::number(port).constData(), 0, SOCK_DGRAM);
    if (!server)
        return QHostAddress();
    const int probe = socket(server->ai_family, SOCK_DGRAM, 0);
    if (probe < 0)
        return QHostAddress();
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    const bool found = ::connect(probe, server->ai_addr, server->ai_addrlen) == 0 &&
                       getsockname(probe, reinterpret_cast<sockaddr *>(&local), &length) == 0;
    close(probe);
    return found ? QHostAddress(reinterpret_cast<const sockaddr *>(&local)) : QHostAddress();
}

} // namespace

QByteArray fullyQualifiedName(const QList<QByteArray> &candidates)
{
    for (const QByteArray &candidate : candidates) {
        const QByteArray name = candidate.trimmed().toLower();
        const bool dotted = name.contains('.') && !name.startsWith('.') && !name.endsWith('.');
        if (dotted && name != "localhost" && !name.startsWith("localhost."))
            return candidate.trimmed();
    }
    return {};
}

QByteArray addressLiteral(const QHostAddress &address)
{
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    if (isIpv4)
        return '[' + QHostAddress(ipv4).toString().toLatin1() + ']';
    QHostAddress withoutScope = address;
    withoutScope.setScopeId(QString());
    return "[IPv6:" + withoutScope.toString().toLatin1() + ']';
}

QByteArray heloName(const QString &serverHost, quint16 port)
{
    if (!thisHostsFullName().isEmpty())
        return thisHostsFullName();
    const QHostAddress local = localAddressTowards(serverHost, port);
    return local.isNull() ? QByteArray() : addressLiteral(local);
}

} // namespace orv::smtp
