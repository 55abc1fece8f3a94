#include "core/Status.h"

#include <QDir>

#include <cstring>

namespace orv {

Status fileFailure(const QString &path, const QString &action, const QString &reason)
{
    return Status::failure(QStringLiteral("ファイル「%1」を%2できません。（%3）")
                               .arg(QDir::toNativeSeparators(path), action, reason));
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace orv
