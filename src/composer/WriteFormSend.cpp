// The compose window's send: the window hands its values to a send run and shows what the
// run reports. The window closes only when every message went out.
#include "composer/AttachmentPanel.h"
#include "composer/Fortune.h"
#include "composer/RecipientPanel.h"
#include "composer/WindowSend.h"
#include "composer/WriteForm.h"
#include "shell/MainForm.h"
#include "ui/App.h"
#include "ui/TypingLimitedEdit.h"

namespace orv {

QStringList WriteForm::sendRecipients() const
{
    if (m_recipients->isBulk())
        return bulkRecipients(m_recipients->rows());
    return {recipientText()};
}

void WriteForm::Send()
{
    if (m_run)
        return;
    m_attachments->prepareForSend();
    const QStringList recipients = sendRecipients();
    if (recipients.isEmpty()) {
        m_label7->clear();
        m_app.showMessage(this,
                          {QStringLiteral("一括送信の宛先がありません。「アドレス帳」ボタンで"
                                          "一覧を読み込み、宛先を登録してから送信してください。"),
                           QString(), QMessageBox::Ok, QMessageBox::Warning});
        return;
    }
    m_label7->setText(QStringLiteral("メールを送信中です。しばらくお待ち下さい。"));
    startRun(recipients);
}

void WriteForm::startRun(const QStringList &recipients)
{
    const ServerSettings &settings = m_app.state().serverSettings;
    SendJob job;
    job.server = settings.smtpServer;
    job.from = settings.mailAddress;
    job.subject = m_subjectText->text();
    job.body = bodyText();
    job.attachments = m_attachments->attachmentList();
    job.recipients = recipients;
    if (m_check1->isChecked())
        job.decorateBody = [&random = m_app.random()](const QString &typedBody) {
            return bodyWithDrawnFortune(typedBody, random);
        };
    job.clockText = [&clock = m_app.clock()] { return MainForm::clockText(clock.now()); };
    m_run = startWindowSend(m_app, this, std::move(job), SentHistory::Record,
                            [this](const SendOutcome &outcome) { finishRun(outcome); });
}

void WriteForm::finishRun(const SendOutcome &outcome)
{
    if (outcome.allSent()) {
        m_label7->setText(QStringLiteral("送信完了です。"));
        close();
        return;
    }
    m_label7->setText(unsentText(outcome));
}

} // namespace orv
