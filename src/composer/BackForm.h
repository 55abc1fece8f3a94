#pragma once

#include "ui/WindowRoles.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QWidget>

namespace orv {

class App;
class AttachmentPanel;
class SendRun;
struct SendOutcome;

// The reply window: a lighter compose window that sends without recording. It quotes the
// message it was opened for, never whatever another window read last, and closes only
// when the reply went out; a close with an unsent change asks first.
class BackForm : public QWidget, public ClosingGuard {
    Q_OBJECT
public:
    static constexpr int kClientWidthTwips = 7170;
    static constexpr int kClientHeightTwips = 6615;

    explicit BackForm(App &app);
    ~BackForm() override;

    QLineEdit *ToText() const { return m_toText; }
    QLineEdit *SubjectText() const { return m_subjectText; }
    QTextEdit *BodyText() const { return m_bodyText; }
    QStatusBar *StatusBar1() const { return m_statusBar1; }
    AttachmentPanel &attachments() const { return *m_attachments; }

    // Fills the window from the message on display; `body` is what 本文に貼付 quotes.
    void fill(const QString &subject, const QString &sender, const QString &body);
    // Whether the user changed anything since the window was filled.
    bool hasUserChanges() const;
    bool mayClose() override;
    // Closes without asking: the user already agreed to drop the reply.
    void closeDiscarding();

    void Send();
    // 本文に貼付: the clipboard's text above the quoted message, as one undo step.
    void PasteAboveQuote();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildControls();
    void wireCommands();
    void applyLayout();
    void finishRun(const SendOutcome &outcome);
    QString filledState() const;

    App &m_app;
    QLineEdit *m_toText;
    QLineEdit *m_subjectText;
    QTextEdit *m_bodyText;
    QPushButton *m_command2, *m_command3, *m_command4;
    QStatusBar *m_statusBar1;
    AttachmentPanel *m_attachments;
    QString m_quotedBody;
    QString m_filledState;
    QPointer<SendRun> m_run;
};

// The viewer's 返事を書く: a reply window filled from the message on display. An open reply
// with changes is replaced only when the user agrees; a replaced reply starts afresh.
void OpenReply(App &app, QWidget *parent, const QString &subject, const QString &sender,
               const QString &body);

} // namespace orv
