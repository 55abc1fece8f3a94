#include "shell/InstanceLock.h"

#include "ui/App.h"

namespace orv {

InstanceLock::InstanceLock(const App &app) : m_file(lockPath(app))
{
    // The program holds its lock for hours; only a dead owner makes a lock stale, never age.
    m_file.setStaleLockTime(0);
}

QString InstanceLock::lockPath(const App &app)
{
    return app.appDir().resolve(QStringLiteral("\\★MAilData\\orvaine.lock"));
}

InstanceLock::Outcome InstanceLock::acquire()
{
    if (m_file.tryLock(0))
        return Outcome::Acquired;
    return m_file.error() == QLockFile::LockFailedError ? Outcome::HeldByAnotherCopy
                                                        : Outcome::Unavailable;
}

bool claimProgramFolder(App &app, InstanceLock &lock)
{
    if (lock.acquire() != InstanceLock::Outcome::HeldByAnotherCopy)
        return true;
    app.showMessage(
        nullptr, {QStringLiteral("このフォルダのOrvaineMailはすでに起動しています。\n"
                                 "同じフォルダのOrvaineMailを二つ同時に起動することはできません。"
                                 "起動中のウィンドウをお使いください。"),
                  QString(), QMessageBox::Ok, QMessageBox::Information});
    return false;
}

} // namespace orv
