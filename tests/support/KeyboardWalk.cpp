#include "support/KeyboardWalk.h"

#include <QApplication>
#include <QTest>

namespace orv::test {

namespace {

constexpr int kLongestRound = 200;

QString focusName()
{
    const QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QString();
}

// A key goes where the keyboard focus is, as a typed key does.
void pressTab(QWidget *window)
{
    QWidget *focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : window, Qt::Key_Tab);
}

} // namespace

bool showActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

QStringList tabWalk(QWidget *window, int presses)
{
    QStringList visited;
    for (int press = 0; press < presses; ++press) {
        pressTab(window);
        visited.append(focusName());
    }
    return visited;
}

QWidget *tabTo(QWidget *window, const QString &name)
{
    for (int press = 0; press < kLongestRound; ++press) {
        if (focusName() == name)
            return QApplication::focusWidget();
        pressTab(window);
    }
    return nullptr;
}

} // namespace orv::test
