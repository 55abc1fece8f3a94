#pragma once

#include <QString>

namespace orv {

// A passing notice to the desktop, for news the user may miss because no window of the
// program is in front: the running program sends it to the desktop's notification
// service, tests record it.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    // Never waits on the desktop and never fails: a desktop without a notification service
    // simply shows nothing.
    virtual void notify(const QString &summary) = 0;
};

// The notice for mail that has just been stored: 「N 件の新着メール」.
QString newMailNotice(int received);

} // namespace orv
