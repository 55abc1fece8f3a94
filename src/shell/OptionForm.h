#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace orv {

class App;

// The server settings dialog. It stays above the other windows while open, shows the
// settings held in memory, and saves them on OK.
class OptionForm : public QWidget {
    Q_OBJECT
public:
    explicit OptionForm(App &app);

private:
    void fillFromSettings();
    void acceptSettings();

    App &m_app;
    QLabel *m_label1, *m_label2, *m_label3;
    QLineEdit *m_smtpText, *m_pop3Text, *m_mailText;
    QCheckBox *m_apopCheck;
    QPushButton *m_okCommand, *m_cancelCommand;
};

} // namespace orv
