#pragma once

#include <QScreen>
#include <QString>
#include <QWidget>

namespace orv {

// Creates a control with its given name as objectName, so tests and accessibility tools
// find it by the name the program uses for it.
template <typename T, typename... Args> T *namedControl(const QString &name, Args &&...args)
{
    auto *control = new T(std::forward<Args>(args)...);
    control->setObjectName(name);
    return control;
}

// Makes Tab visit `order` one after the other.
inline void chainTabOrder(const QList<QWidget *> &order)
{
    for (qsizetype index = 1; index < order.size(); ++index)
        QWidget::setTabOrder(order[index - 1], order[index]);
}

// Puts a window in the middle of its screen: (screen − window) ÷ 2 on both axes.
inline void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen()) {
        const QRect area = screen->geometry();
        window->move(area.left() + (area.width() - window->width()) / 2,
                     area.top() + (area.height() - window->height()) / 2);
    }
}

} // namespace orv
