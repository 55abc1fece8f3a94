#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace orv {

class App;

// The ID/password dialog: shows the saved user ID and password and, on OK, makes the typed
// ones those in use, saving them only when the save box is checked.
class IdPassForm : public QWidget {
    Q_OBJECT
public:
    explicit IdPassForm(App &app);

    QLineEdit *IdText() const { return m_idText; }
    QLineEdit *PassText() const { return m_passText; }

private:
    void accept();

    App &m_app;
    QLabel *m_label1, *m_label2Password, *m_label2Save;
    QLineEdit *m_idText, *m_passText;
    QCheckBox *m_check1;
    QPushButton *m_okCommand, *m_cancelCommand;
};

} // namespace orv
