#include "shell/IdPassForm.h"

#include "store/AccountFile.h"
#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "ui/Controls.h"

#include <QGridLayout>

namespace orv {

IdPassForm::IdPassForm(App &app)
    : m_app(app), m_label1(namedControl<QLabel>(QStringLiteral("Label1"), QStringLiteral("ID"))),
      m_label2Password(namedControl<QLabel>(QStringLiteral("Label2"), QStringLiteral("Password"))),
      m_label2Save(
          namedControl<QLabel>(QStringLiteral("Label2"), QStringLiteral("IDパスワードを保存する"))),
      m_idText(namedControl<QLineEdit>(QStringLiteral("IdText"))),
      m_passText(namedControl<QLineEdit>(QStringLiteral("PassText"))),
      m_check1(namedControl<QCheckBox>(QStringLiteral("Check1"))),
      m_okCommand(namedControl<QPushButton>(QStringLiteral("OKCommand"), QStringLiteral("OK"))),
      m_cancelCommand(
          namedControl<QPushButton>(QStringLiteral("CancelCommand"), QStringLiteral("Cancel")))
{
    setObjectName(QStringLiteral("IdPassForm"));
    setWindowTitle(QStringLiteral("ＩＤ，ＰＡＳＳ"));
    // Label2 is a pair of labels told apart by their index.
    m_label2Password->setProperty("index", 0);
    m_label2Save->setProperty("index", 1);

    m_passText->setEchoMode(QLineEdit::Password);
    // The same mask on every platform, not the style's bullet.
    m_passText->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    m_passText->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_passText->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData |
                                    Qt::ImhNoPredictiveText);
    m_check1->setChecked(false);
    // Each box is named by the label beside it, the check box too: it has no caption.
    nameControls({{m_idText, m_label1->text()},
                  {m_passText, m_label2Password->text()},
                  {m_check1, m_label2Save->text()}});

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_label1, 0, 0);
    layout->addWidget(m_idText, 0, 1, 1, 2);
    layout->addWidget(m_label2Password, 1, 0);
    layout->addWidget(m_passText, 1, 1, 1, 2);
    layout->addWidget(m_check1, 2, 0, Qt::AlignRight);
    layout->addWidget(m_label2Save, 2, 1, 1, 2);
    layout->addWidget(m_okCommand, 3, 1);
    layout->addWidget(m_cancelCommand, 3, 2);
    setMinimumWidth(320);

    const AccountCredentials saved = AccountFile(app.appDir()).read();
    m_idText->setText(saved.userId);
    m_passText->setText(saved.password);

    connect(m_okCommand, &QPushButton::clicked, this, &IdPassForm::accept);
    connect(m_cancelCommand, &QPushButton::clicked, this, &QWidget::close);
}

void IdPassForm::accept()
{
    AccountCredentials &credentials = m_app.state().accountCredentials;
    credentials = {m_idText->text(), m_passText->text()};
    const AccountFile file(m_app.appDir());
    const Status saved =
        m_check1->isChecked() ? file.saveCredentials(credentials) : file.markNotSaved();
    if (!saved)
        m_app.showMessage(this, {saved.error(), QString(), QMessageBox::Ok, QMessageBox::Critical});
    close();
}

} // namespace orv
