#include "shell/OptionForm.h"

#include "store/Settings.h"
#include "ui/App.h"
#include "ui/Controls.h"

#include <QGridLayout>

namespace orv {

OptionForm::OptionForm(App &app)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), m_app(app),
      m_label1(
          namedControl<QLabel>(QStringLiteral("Label1"), QStringLiteral("SMTPサーバー名(&S)"))),
      m_label2(
          namedControl<QLabel>(QStringLiteral("Label2"), QStringLiteral("POP3サーバー名(&P)"))),
      m_label3(
          namedControl<QLabel>(QStringLiteral("Label3"), QStringLiteral("メールアドレス(&M)"))),
      m_smtpText(namedControl<QLineEdit>(QStringLiteral("SmtpText"))),
      m_pop3Text(namedControl<QLineEdit>(QStringLiteral("Pop3Text"))),
      m_mailText(namedControl<QLineEdit>(QStringLiteral("MailText"))),
      m_apopCheck(namedControl<QCheckBox>(QStringLiteral("ApopCheck"),
                                          QStringLiteral("APOP を使用する(&A)"))),
      m_okCommand(namedControl<QPushButton>(QStringLiteral("OkCommand"), QStringLiteral("設定"))),
      m_cancelCommand(
          namedControl<QPushButton>(QStringLiteral("CancelCommand"), QStringLiteral("中止")))
{
    setObjectName(QStringLiteral("OptionForm"));
    setWindowTitle(QStringLiteral("サーバー設定"));
    m_label1->setBuddy(m_smtpText);
    m_label2->setBuddy(m_pop3Text);
    m_label3->setBuddy(m_mailText);

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_label1, 0, 0);
    layout->addWidget(m_smtpText, 0, 1, 1, 2);
    layout->addWidget(m_label2, 1, 0);
    layout->addWidget(m_pop3Text, 1, 1, 1, 2);
    layout->addWidget(m_label3, 2, 0);
    layout->addWidget(m_mailText, 2, 1, 1, 2);
    layout->addWidget(m_apopCheck, 3, 1, 1, 2);
    layout->addWidget(m_okCommand, 4, 1);
    layout->addWidget(m_cancelCommand, 4, 2);
    setMinimumWidth(420);

    fillFromSettings();
    connect(m_okCommand, &QPushButton::clicked, this, &OptionForm::acceptSettings);
    connect(m_cancelCommand, &QPushButton::clicked, this, &QWidget::close);
}

void OptionForm::fillFromSettings()
{
    const ServerSettings &settings = m_app.state().serverSettings;
    m_smtpText->setText(settings.smtpServer);
    m_pop3Text->setText(settings.pop3Server);
    m_mailText->setText(settings.mailAddress);
    m_apopCheck->setChecked(settings.apop != 0);
}

void OptionForm::acceptSettings()
{
    ServerSettings &settings = m_app.state().serverSettings;
    settings.smtpServer = m_smtpText->text();
    settings.pop3Server = m_pop3Text->text();
    settings.mailAddress = m_mailText->text();
    settings.apop = m_apopCheck->isChecked() ? 1 : 0;
    if (const Status saved = SaveSettings(m_app.appDir(), settings); !saved)
        m_app.showMessage(this, {saved.error(), QString(), QMessageBox::Ok, QMessageBox::Critical});
    close();
}

} // namespace orv
