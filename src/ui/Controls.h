#pragma once

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

} // namespace orv
