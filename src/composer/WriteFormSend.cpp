// The compose window's send: the window hands its values to a send run and shows what the
// run reports. The window closes only when every message went out.
#include "composer/AttachmentPanel.h"
#include "composer/Fortune.h"
#include "composer/RecipientPanel.h"
#include "composer/WindowSend.h"
#include "composer/WriteForm.h"
#include "ui/App.h"
#include "ui/ClockText.h"
#include "ui/TypingLimitedEdit.h"

namespace orv {

namespace {

// The recipients of `all` that are in `unsent`, in the order of `all`.
QStringList onlyUnsent(const QStringList &all, const QStringList &unsent)
{
    QStringList recipients;
    for (const QString &recipient : all)
        if (unsent.contains(recipient))
            recipients.append(recipient);
    return recipients;
}

} // namespace

// A bulk send reads the address book as it stands: a contact deleted while the window was
// open gets nothing. A retry after a partial failure goes only to those who did not get it.
QStringList WriteForm::sendRecipients()
{
    if (!m_recipients->isBulk())
        return {recipientText()};
    if (const Status read = m_recipients->fillFromAddressStore(); !read) {
        m_app.showMessage(this, {read.error(), QString(), QMessageBox::Ok, QMessageBox::Warning});
        return {};
    }
    const QStringList everyone = bulkRecipients(m_recipients->rows());
    return m_bulkUnsent.isEmpty() ? everyone : onlyUnsent(everyone, m_bulkUnsent);
}

void WriteForm::Send()
{
    if (m_run)
        return;
    const QStringList recipients = sendRecipients();
    if (recipients.isEmpty()) {
        m_label7->clear();
        m_app.showMessage(this,
                          {QStringLiteral("一括送信の宛先がありません。「アドレス帳」ボタンで"
                                          "一覧を読み込み、宛先を登録してから送信してください。"),
                           QString(), QMessageBox::Ok, QMessageBox::Warning});
        return;
    }
    m_attachments->prepareForSend();
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
    job.clockText = [&clock = m_app.clock()] { return clockText(clock.now()); };
    m_run = startWindowSend(m_app, this, std::move(job), SentHistory::Record,
                            [this](const SendOutcome &outcome) { finishRun(outcome); });
}

void WriteForm::finishRun(const SendOutcome &outcome)
{
    if (outcome.allSent()) {
        m_label7->setText(QStringLiteral("送信完了です。"));
        m_sentState = editState();
        close();
        return;
    }
    m_attachments->restoreAfterFailedSend();
    if (m_recipients->isBulk()) {
        m_bulkUnsent = outcome.unsentRecipients;
        m_recipients->markUnsent(m_bulkUnsent);
        m_label7->setText(unsentText(outcome) + QStringLiteral(" 未送信: ") +
                          m_bulkUnsent.join(QStringLiteral("、")));
        m_label7->setToolTip(m_bulkUnsent.join(u'\n'));
        return;
    }
    m_label7->setText(unsentText(outcome));
}

} // namespace orv
