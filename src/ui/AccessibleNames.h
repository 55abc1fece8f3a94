#pragma once

#include <QString>
#include <QWidget>

#include <initializer_list>

namespace orv {

// What a screen reader says for a control whose own caption does not tell: a text box is
// named by the label beside it, a list by what it lists, a picture by what it shows (its
// description says more). A label showing a message needs none: its text is its name.
struct AccessibleText {
    QWidget *control;
    QString name;
    QString description = QString();
};

void nameControls(std::initializer_list<AccessibleText> texts);

} // namespace orv
