#include "shell/InstanceLock.h"

#include "ui/App.h"

namespace orv {

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
