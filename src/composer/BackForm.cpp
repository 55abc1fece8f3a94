#include "composer/BackForm.h"

#include "composer/AttachmentPanel.h"
#include "composer/LineEnds.h"
#include "composer/ReplyRules.h"
#include "composer/WindowSend.h"
#include "core/Cp932.h"
#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "ui/Clipboard.h"
#include "ui/Controls.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QScreen>
#include <QTextCursor>

namespace orv {

namespace {

constexpr int kRowHeightTwips = 360;
constexpr int kFieldLeftTwips = 1140;
constexpr int kBodyTopTwips = 1260;
constexpr int kButtonWidthTwips = 1300;

QLabel *fieldLabel(const QString &text, QWidget *parent, int topTwips)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(twipsRect(60, topTwips, 1000, kRowHeightTwips));
    return label;
}

} // namespace

BackForm::BackForm(App &app) : m_app(app)
{
    setObjectName(QStringLiteral("BackForm"));
    setWindowTitle(QStringLiteral("返事を書く"));
    setWindowFlags(Qt::Window);
    buildControls();
    wireCommands();
    resize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    centreOnScreen(this);
}

BackForm::~BackForm()
{
    delete m_run; // waits for the message in progress
}

void BackForm::buildControls()
{
    fieldLabel(QStringLiteral("宛先"), this, 60);
    m_toText = namedControl<QLineEdit>(QStringLiteral("ToText"), this);
    fieldLabel(QStringLiteral("題名"), this, 460);
    m_subjectText = namedControl<QLineEdit>(QStringLiteral("SubjectText"), this);
    fieldLabel(QStringLiteral("添付File"), this, 860);
    m_attachments = new AttachmentPanel(m_app, this, QStringLiteral("添付"),
                                        AttachmentPanel::AddButton::StartsEnabled);
    m_bodyText = namedControl<QTextEdit>(QStringLiteral("BodyText"), this);
    m_bodyText->setAcceptRichText(false); // a pasted page keeps only its text
    m_bodyText->setTabChangesFocus(true); // Tab leads on to the commands below
    m_command2 =
        namedControl<QPushButton>(QStringLiteral("Command2"), QStringLiteral("送信"), this);
    m_command3 =
        namedControl<QPushButton>(QStringLiteral("Command3"), QStringLiteral("送信中止"), this);
    m_command4 =
        namedControl<QPushButton>(QStringLiteral("Command4"), QStringLiteral("本文に貼付"), this);
    m_statusBar1 = namedControl<QStatusBar>(QStringLiteral("StatusBar1"), this);
    m_statusBar1->setSizeGripEnabled(false);
    m_attachments->List2()->raise();
    nameControls({
        {m_toText, QStringLiteral("宛先")},
        {m_subjectText, QStringLiteral("題名")},
        {m_bodyText, QStringLiteral("本文")},
    });
    // The reply is written from the address down to the text, then sent.
    const AttachmentPanel &attach = *m_attachments;
    chainTabOrder({m_toText, m_subjectText, attach.AttachText(), attach.AttachCommand(),
                   attach.Command9(), attach.Command10(), attach.List2(), m_bodyText, m_command2,
                   m_command3, m_command4});
}

void BackForm::wireCommands()
{
    connect(m_command2, &QPushButton::clicked, this, &BackForm::Send);
    connect(m_command3, &QPushButton::clicked, this, &QWidget::close);
    connect(m_command4, &QPushButton::clicked, this, &BackForm::PasteAboveQuote);
}

void BackForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyLayout();
}

void BackForm::applyLayout()
{
    const QRect outer = frameGeometry();
    const ReplyLayout layout = replyLayout(
        pixelsToTwips(outer.width()), pixelsToTwips(outer.height()),
        pixelsToTwips(m_bodyText->height()), kRowHeightTwips, kRowHeightTwips, kRowHeightTwips);
    m_toText->setGeometry(twipsRect(kFieldLeftTwips, 60, layout.fieldWidth, kRowHeightTwips));
    m_subjectText->setGeometry(twipsRect(kFieldLeftTwips, 460, layout.fieldWidth, kRowHeightTwips));
    AttachmentPanel &a = *m_attachments;
    a.AttachText()->setGeometry(
        twipsRect(kFieldLeftTwips, 860, layout.attachTextWidth, kRowHeightTwips));
    a.AttachCommand()->setGeometry(twipsRect(layout.attachCommandLeft, 860, 780, kRowHeightTwips));
    a.Command9()->setGeometry(twipsRect(layout.command9Left, 860, 840, kRowHeightTwips));
    a.Command10()->setGeometry(twipsRect(layout.command10Left, 860, 1000, kRowHeightTwips));
    a.List2()->setGeometry(twipsRect(kFieldLeftTwips, 1240, layout.attachTextWidth, 900));
    m_bodyText->setGeometry(twipsRect(0, kBodyTopTwips, layout.bodyWidth, layout.bodyHeight));

    // Below the body, above the status bar: the commands follow the window's bottom edge.
    const int statusHeight = m_statusBar1->sizeHint().height();
    m_statusBar1->setGeometry(0, height() - statusHeight, width(), statusHeight);
    const int buttonsTop = pixelsToTwips(height() - statusHeight) - kRowHeightTwips - 120;
    QPushButton *const buttons[] = {m_command2, m_command3, m_command4};
    for (int index = 0; index < 3; ++index)
        buttons[index]->setGeometry(twipsRect(60 + index * (kButtonWidthTwips + 60), buttonsTop,
                                              kButtonWidthTwips, kRowHeightTwips + 60));
}

void BackForm::fill(const QString &subject, const QString &sender, const QString &body)
{
    m_subjectText->setText(replySubject(subject));
    m_toText->setText(trimBlanks(sender));
    m_quotedBody = trimBlanks(body);
    m_bodyText->setPlainText(m_quotedBody);
    m_filledState = filledState();
}

QString BackForm::filledState() const
{
    return m_toText->text() + u'\n' + m_subjectText->text() + u'\n' + m_bodyText->toPlainText() +
           u'\n' + m_attachments->attachmentList();
}

bool BackForm::hasUserChanges() const
{
    return filledState() != m_filledState;
}

bool BackForm::mayClose()
{
    if (!hasUserChanges())
        return true;
    return m_app.showMessage(this,
                             {QStringLiteral("送信していない内容があります。破棄して閉じますか？"),
                              QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question,
                              QMessageBox::No}) == QMessageBox::Yes;
}

void BackForm::closeDiscarding()
{
    m_filledState = filledState();
    close();
}

void BackForm::PasteAboveQuote()
{
    const QString pasted = PassThroughClipboard(bodyWithPastedText(clipboardText(), m_quotedBody));
    QTextCursor cursor(m_bodyText->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(withLf(pasted)); // one undo step brings back what was typed
}

void BackForm::Send()
{
    if (m_run)
        return;
    const ServerSettings &settings = m_app.state().serverSettings;
    SendJob job;
    job.server = settings.smtpServer;
    job.from = settings.mailAddress;
    job.subject = m_subjectText->text();
    job.body = withCrLf(m_bodyText->toPlainText());
    job.attachments = m_attachments->attachmentList();
    job.recipients = {m_toText->text()};
    m_run = startWindowSend(m_app, this, std::move(job), SentHistory::Skip,
                            [this](const SendOutcome &outcome) { finishRun(outcome); });
}

void BackForm::finishRun(const SendOutcome &outcome)
{
    // A refused reply was reported in its own box; the window keeps it for another try.
    if (outcome.allSent())
        closeDiscarding();
}

void OpenReply(App &app, QWidget *parent, const QString &subject, const QString &sender,
               const QString &body)
{
    if (app.forms().isLoaded<BackForm>()) {
        BackForm *open = app.forms().get<BackForm>();
        if (open->isVisible() && open->hasUserChanges()) {
            const QMessageBox::StandardButton answer = app.showMessage(
                parent, {QStringLiteral("書きかけの返事があります。その内容を破棄して、"
                                        "新しい返事を書きますか？"),
                         QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question});
            if (answer != QMessageBox::Yes) {
                app.forms().show<BackForm>();
                return;
            }
        }
        open->closeDiscarding();
    }
    app.forms().get<BackForm>()->fill(subject, sender, body);
    app.forms().show<BackForm>();
}

} // namespace orv
