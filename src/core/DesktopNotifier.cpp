#include "core/DesktopNotifier.h"

namespace orv {

QString newMailNotice(int received)
{
    return QStringLiteral("%1 件の新着メール").arg(received);
}

} // namespace orv
