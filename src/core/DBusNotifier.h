#pragma once

#include "core/DesktopNotifier.h"

#include <QString>

#include <memory>

namespace orv {

// Notices through the freedesktop notification service (org.freedesktop.Notifications) on
// the session bus. Without a session bus, or without the service on it, nothing is shown.
class DBusNotifier : public DesktopNotifier {
public:
    static constexpr int kReplyTimeoutMs = 2000;

    DBusNotifier();
    // Takes the session bus at `busAddress` in place of the user's.
    explicit DBusNotifier(const QString &busAddress);
    ~DBusNotifier() override;

    void notify(const QString &summary) override;

    // Waits until the service has answered every notice sent, at most kReplyTimeoutMs: a
    // process that ends at once could otherwise drop a notice before it left.
    void waitForDelivery();

private:
    struct Calls; // the D-Bus side, kept out of this header
    QString m_busAddress;
    QString m_connectionName;
    std::unique_ptr<Calls> m_calls;
};

} // namespace orv
