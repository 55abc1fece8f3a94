#pragma once

#include <QPushButton>
#include <QWidget>

namespace orv {

class App;

// The settings window: it only leads to the two account dialogs.
class SetForm : public QWidget {
    Q_OBJECT
public:
    explicit SetForm(App &app);

private:
    QPushButton *m_command1;
    QPushButton *m_command2;
};

} // namespace orv
