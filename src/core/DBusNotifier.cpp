#include "core/DBusNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFileInfo>
#include <QVariantMap>

namespace orv {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kApplicationName = QStringLiteral("Orvaine Mail");
const QString kIcon = QStringLiteral("orvaine");
constexpr int kServerChoosesExpiry = -1;

// The user's session bus as the desktop announces it. The bus library's own fallback may
// start a bus daemon of its own ("autolaunch"), which would outlive a command run from a
// timer: without an announced bus there is simply no desktop to tell.
QString sessionBusAddress()
{
    const QString announced = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!announced.isEmpty())
        return announced;
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtimeDir.isEmpty())
        return {};
    const QString socket = runtimeDir + QStringLiteral("/bus");
    return QFileInfo::exists(socket) ? QStringLiteral("unix:path=") + socket : QString();
}

QDBusMessage notifyCall(const QString &summary)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << kApplicationName << quint32(0) << kIcon << summary << QString() << QStringList()
         << QVariantMap() << qint32(kServerChoosesExpiry);
    return call;
}

} // namespace

struct DBusNotifier::Calls {
    bool connected = false;
    QList<QDBusPendingCall> pending;
};

DBusNotifier::DBusNotifier() : DBusNotifier(sessionBusAddress()) {}

DBusNotifier::DBusNotifier(const QString &busAddress)
    : m_busAddress(busAddress),
      m_connectionName(QStringLiteral("orvaine-notifier-%1").arg(quintptr(this), 0, 16)),
      m_calls(std::make_unique<Calls>())
{
}

DBusNotifier::~DBusNotifier()
{
    m_calls->pending.clear();
    if (m_calls->connected)
        QDBusConnection::disconnectFromBus(m_connectionName);
}

void DBusNotifier::notify(const QString &summary)
{
    if (m_busAddress.isEmpty())
        return;
    // Connected on the first notice only: most runs bring no mail, and start-up pays nothing.
    QDBusConnection bus = QDBusConnection::connectToBus(m_busAddress, m_connectionName);
    m_calls->connected = true;
    if (!bus.isConnected())
        return;
    m_calls->pending.append(bus.asyncCall(notifyCall(summary), kReplyTimeoutMs));
}

void DBusNotifier::waitForDelivery()
{
    // Every call carries its own timeout, so each wait ends by then.
    for (QDBusPendingCall &call : m_calls->pending)
        call.waitForFinished();
    m_calls->pending.clear();
}

} // namespace orv
