#pragma once

#include "ui/ClickableLabel.h"
#include "ui/WindowRoles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace orv {

class App;
class AttachmentPanel;
class RecipientPanel;
class SendRun;
class TypingLimitedEdit;
struct SendOutcome;

// The compose window. Start-up loads it hidden to clear its fortune box; every New after a
// close loads it afresh. A send closes it only when every message went out, so nothing
// typed is lost to a failed send, and a close with unsent text asks first.
class WriteForm : public QWidget, public ComposeBodyRole, public ClosingGuard {
    Q_OBJECT
public:
    static constexpr int kNormalWidthTwips = 7100;
    static constexpr int kNormalHeightTwips = 8200;
    static constexpr int kWideWidthTwips = 9700;
    static constexpr int kPasteModeHeightTwips = 8955;
    static constexpr int kTypedRecipientLimit = 60;

    explicit WriteForm(App &app);
    ~WriteForm() override;

    TypingLimitedEdit *ToText() const { return m_toText; }
    QLineEdit *SubjectText() const { return m_subjectText; }
    QComboBox *Combo1() const { return m_combo1; }
    QPlainTextEdit *BodyText() const { return m_bodyText; }
    QCheckBox *Check1() const { return m_check1; }
    ClickableLabel *Label7() const { return m_label7; }
    QPushButton *Command8() const { return m_command8; }
    AttachmentPanel &attachments() const { return *m_attachments; }
    RecipientPanel &recipients() const { return *m_recipients; }

    // The To and body texts with CR LF line ends, as they are sent and stored.
    QString recipientText() const;
    QString bodyText() const;

    // 送信: one message to the To field, or in bulk mode one to every entry of the address
    // book as it stands; after a partial bulk failure, one to each entry that did not get it.
    void Send();

    void insertIntoBody(const QString &text) override;
    bool mayClose() override;

private:
    void buildControls();
    void buildButtons();
    void nameControlsForScreenReaders();
    void setKeyboardOrder();
    void wireHelpTexts();
    void wireCommands();
    void load();
    void Reset();
    void widen();
    void narrow();
    void applyGreeting();
    void appendToBody(const QString &text);
    void enterPasteMode();
    void showHelp(const QString &text);
    void showToTextFull();
    bool eventFilter(QObject *watched, QEvent *event) override;
    // What the user typed or chose, to tell whether anything is left unsent.
    QString editState() const;
    void forgetBulkUnsent();

    QStringList sendRecipients();
    void startRun(const QStringList &recipients);
    void finishRun(const SendOutcome &outcome);

    App &m_app;
    ClickableLabel *m_label7;
    TypingLimitedEdit *m_toText;
    QLineEdit *m_subjectText;
    QComboBox *m_combo1;
    QPlainTextEdit *m_bodyText;
    QPlainTextEdit *m_text14;
    QCheckBox *m_check1;
    QLabel *m_label3;
    QPushButton *m_command1, *m_command3, *m_command4, *m_command6, *m_command5, *m_command7,
        *m_command11, *m_command8, *m_command2;
    QLineEdit *m_text4;
    AttachmentPanel *m_attachments;
    RecipientPanel *m_recipients;
    QString m_appliedGreeting;
    QPointer<SendRun> m_run;
    QString m_sentState; // editState() when nothing was left unsent
    // The bulk recipients that did not get the last message; a retry goes to them alone.
    QStringList m_bulkUnsent;
};

} // namespace orv
