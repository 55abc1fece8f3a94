#include "composer/WriteForm.h"

#include "composer/AttachmentPanel.h"
#include "composer/Greeting.h"
#include "composer/LineEnds.h"
#include "composer/RecipientPanel.h"
#include "composer/WriteFormTexts.h"
#include "transport/SendRun.h"
#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "ui/Clipboard.h"
#include "ui/Controls.h"
#include "ui/PointerMoves.h"
#include "ui/Twips.h"
#include "ui/TypingLimitedEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QScreen>
#include <QTextCursor>

namespace orv {

namespace {

constexpr int kPanelLeftTwips = 7080;
constexpr int kCommand2LeftTwips = 9840;
constexpr int kText4TopTwips = 8115;

QLabel *fieldLabel(const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setStyleSheet(QStringLiteral("QLabel { color: #1d3557; font-weight: bold; }"));
    return label;
}

} // namespace

WriteForm::WriteForm(App &app) : m_app(app)
{
    setObjectName(QStringLiteral("WriteForm"));
    setWindowTitle(QStringLiteral("新規作成・送信"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#WriteForm { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                                 "stop:0 #f4f8fc, stop:1 #d9e6f2); }"));
    buildControls();
    buildButtons();
    nameControlsForScreenReaders();
    setKeyboardOrder();
    wireHelpTexts();
    wireCommands();
    load();
}

WriteForm::~WriteForm()
{
    // A run still under way finishes its message before the window's controls go.
    delete m_run;
}

void WriteForm::buildControls()
{
    m_label7 = namedControl<ClickableLabel>(QStringLiteral("Label7"), QString(), this);
    m_label7->setGeometry(twipsRect(120, 60, 6840, 300));
    m_label7->setStyleSheet(QStringLiteral("QLabel { color: #b00020; font-weight: bold; }"));
    m_label7->setFocusPolicy(Qt::NoFocus); // a message line; only a hidden double click acts

    fieldLabel(QStringLiteral("宛先"), this, twipsRect(120, 450, 700, 300));
    m_toText = new TypingLimitedEdit(kTypedRecipientLimit, this);
    m_toText->setObjectName(QStringLiteral("ToText"));
    m_toText->setGeometry(twipsRect(840, 420, 4200, 360));
    m_toText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_toText->setTabChangesFocus(true);

    fieldLabel(QStringLiteral("件名"), this, twipsRect(120, 870, 700, 300));
    m_subjectText = namedControl<QLineEdit>(QStringLiteral("SubjectText"), this);
    m_subjectText->setGeometry(twipsRect(840, 840, 6120, 360));

    fieldLabel(QStringLiteral("首記例"), this, twipsRect(120, 1290, 700, 300));
    m_combo1 = namedControl<QComboBox>(QStringLiteral("Combo1"), this);
    m_combo1->setGeometry(twipsRect(840, 1260, 6120, 360));
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::NoInsert);

    m_attachments = new AttachmentPanel(m_app, this, QStringLiteral("添付File"),
                                        AttachmentPanel::AddButton::StartsDisabled);
    m_attachments->AttachCommand()->setGeometry(twipsRect(120, 1680, 1100, 360));
    m_attachments->AttachText()->setGeometry(twipsRect(1260, 1680, 3600, 360));
    m_attachments->Command9()->setGeometry(twipsRect(4920, 1680, 960, 360));
    m_attachments->Command10()->setGeometry(twipsRect(5940, 1680, 1020, 360));

    m_bodyText = namedControl<QPlainTextEdit>(QStringLiteral("BodyText"), this);
    m_bodyText->setGeometry(twipsRect(120, 2100, 6840, 4260));
    m_bodyText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_bodyText->setTabChangesFocus(true); // Tab leads on to the commands below
    m_attachments->List2()->setGeometry(twipsRect(1260, 2070, 3600, 900));

    m_text14 = namedControl<QPlainTextEdit>(QStringLiteral("Text14"), this);
    m_text14->setGeometry(twipsRect(900, 3200, 5300, 1800));
    m_text14->setReadOnly(true);
    m_text14->setFocusPolicy(Qt::NoFocus);
    m_text14->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: #fffbe6; color: #333; border: 1px solid "
                       "#c9b458; }"));

    m_check1 = namedControl<QCheckBox>(QStringLiteral("Check1"), QStringLiteral("占い添付"), this);
    m_check1->setGeometry(twipsRect(120, 6450, 1500, 330));
    m_label3 = namedControl<QLabel>(
        QStringLiteral("Label3"),
        QStringLiteral("★　親しい人に占いを添付する　★ （一括送信では使用不可）"), this);
    m_label3->setGeometry(twipsRect(1650, 6450, 5310, 330));

    m_text4 = namedControl<QLineEdit>(QStringLiteral("Text4"), this);
    m_text4->setGeometry(twipsRect(120, kText4TopTwips, 6840, 360));

    m_recipients = new RecipientPanel(m_app, this);
    m_recipients->setGeometry(twipsRect(kPanelLeftTwips, 60, 2460, 7400));
}

void WriteForm::buildButtons()
{
    struct Button {
        QPushButton *&button;
        const char16_t *name;
        QString caption;
        int left, top, width;
    };
    const Button buttons[] = {
        {m_command1, u"Command1", QStringLiteral("送信"), 120, 6900, 1100},
        {m_command3, u"Command3", QStringLiteral("送信中止"), 1268, 6900, 1100},
        {m_command4, u"Command4", QStringLiteral("アドレス帳"), 2416, 6900, 1100},
        {m_command6, u"Command6", QStringLiteral("元のサイズ"), 3564, 6900, 1100},
        {m_command5, u"Command5", QStringLiteral("本文に貼付"), 4712, 6900, 1100},
        {m_command11, u"Command11", QStringLiteral("クリア"), 5860, 6900, 1100},
        {m_command8, u"Command8", QStringLiteral("顔・絵文字"), 120, 7400, 1400},
        {m_command7, u"Command7", QStringLiteral("宛先に貼付"), 5100, 420, 1860},
        {m_command2, u"Command2", QStringLiteral("貼付け"), kCommand2LeftTwips, kText4TopTwips,
         900},
    };
    for (const Button &button : buttons) {
        button.button =
            namedControl<QPushButton>(QString::fromUtf16(button.name), button.caption, this);
        button.button->setGeometry(twipsRect(button.left, button.top, button.width, 420));
    }
    m_command7->setFixedHeight(twipsToPixels(360));
}

void WriteForm::nameControlsForScreenReaders()
{
    nameControls({
        {m_toText, QStringLiteral("宛先")},
        {m_subjectText, QStringLiteral("件名")},
        {m_combo1, QStringLiteral("首記例")},
        {m_bodyText, QStringLiteral("本文")},
        {m_text14, QStringLiteral("説明")},
        {m_text4, QStringLiteral("貼付け欄")},
    });
}

// The order a letter is written in: the address, what it is about, the text, then what to
// do with it; the address book panel and the paste row when they are shown.
void WriteForm::setKeyboardOrder()
{
    const AttachmentPanel &attach = *m_attachments;
    chainTabOrder({m_toText,
                   m_command7,
                   m_subjectText,
                   m_combo1,
                   attach.AttachCommand(),
                   attach.AttachText(),
                   attach.Command9(),
                   attach.Command10(),
                   attach.List2(),
                   m_bodyText,
                   m_check1,
                   m_command1,
                   m_command3,
                   m_command4,
                   m_command6,
                   m_command5,
                   m_command11,
                   m_command8,
                   m_recipients,
                   m_text4,
                   m_command2});
}

void WriteForm::wireHelpTexts()
{
    const std::pair<QWidget *, QString> helpTexts[] = {
        {m_command1, writeform::command1Help()},
        {m_command3, writeform::command3Help()},
        {m_command4, writeform::command4Help()},
        {m_command5, writeform::command5Help()},
        {m_command6, writeform::command6Help()},
        {m_command7, writeform::command7Help()},
        {m_command8, writeform::command8Help()},
        {m_attachments->Command9(), writeform::command9Help()},
        {m_command11, writeform::command11Help()},
        {m_attachments->AttachCommand(), writeform::attachCommandHelp()},
    };
    for (const auto &[control, text] : helpTexts) {
        wireHelpText(control, text, [this](const QString &help) { showHelp(help); });
        // The box lies over the body; the keyboard moving on must not leave it in the way.
        // A control also loses the focus while the window is torn down: no member of it then.
        onFocusOut(control, [box = QPointer<QWidget>(m_text14)] {
            if (box)
                box->hide();
        });
    }
    onPointerMove(this, [this] { m_text14->hide(); });
    onPointerMove(m_bodyText->viewport(), [this] { m_text14->hide(); });
}

void WriteForm::wireCommands()
{
    connect(m_command1, &QPushButton::clicked, this, &WriteForm::Send);
    connect(m_command3, &QPushButton::clicked, this, &QWidget::close);
    connect(m_command4, &QPushButton::clicked, this, &WriteForm::widen);
    connect(m_command6, &QPushButton::clicked, this, &WriteForm::narrow);
    connect(m_command5, &QPushButton::clicked, this, [this] { appendToBody(clipboardText()); });
    connect(m_command7, &QPushButton::clicked, this,
            [this] { m_toText->setPlainText(clipboardText()); });
    connect(m_command11, &QPushButton::clicked, this, &WriteForm::Reset);
    connect(m_command8, &QPushButton::clicked, this,
            [this] { m_app.forms().showRole<EmoticonPaletteRole>(); });
    connect(m_command2, &QPushButton::clicked, this, [this] { m_text4->setText(clipboardText()); });
    connect(m_label7, &ClickableLabel::doubleClicked, this, &WriteForm::enterPasteMode);
    connect(m_recipients, &RecipientPanel::recipientPicked, this,
            [this](const QString &address) { m_toText->setPlainText(address); });
    connect(m_recipients, &RecipientPanel::bulkCancelled, m_toText, &QPlainTextEdit::clear);
    connect(m_recipients, &RecipientPanel::bulkCancelled, this, &WriteForm::forgetBulkUnsent);
    connect(m_toText, &TypingLimitedEdit::typingRefused, this, &WriteForm::showToTextFull);
    m_combo1->installEventFilter(this);
}

void WriteForm::load()
{
    setFixedSize(twipsToPixels(kNormalWidthTwips), twipsToPixels(kNormalHeightTwips));
    m_recipients->hide();
    m_recipients->clearBulk();
    m_command2->hide();
    m_command2->setEnabled(false);
    m_text4->hide(); // out of view until the paste mode makes the window taller
    m_check1->setChecked(false);
    m_combo1->addItems(GreetingLines());
    m_combo1->setCurrentIndex(-1);
    m_combo1->setEditText(QString());
    // A missing file gives an empty list; the panel is out of sight until 宛先 is widened.
    (void)m_recipients->fillFromAddressMaster();
    centreOnScreen(this);
    m_sentState = editState();
}

void WriteForm::Reset()
{
    m_toText->clear();
    m_subjectText->clear();
    m_bodyText->clear();
    m_appliedGreeting.clear();
    m_recipients->clearBulk();
    forgetBulkUnsent();
    m_attachments->dropAll();
    m_check1->setChecked(false);
    m_recipients->showBulkColour(false);
}

void WriteForm::forgetBulkUnsent()
{
    m_bulkUnsent.clear();
    m_recipients->markUnsent({});
}

QString WriteForm::editState() const
{
    return m_toText->toPlainText() + u'\n' + m_subjectText->text() + u'\n' +
           m_bodyText->toPlainText() + u'\n' + m_attachments->attachmentList();
}

bool WriteForm::mayClose()
{
    if (editState() == m_sentState)
        return true;
    return m_app.showMessage(this,
                             {QStringLiteral("送信していない内容があります。破棄して閉じますか？"),
                              QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question,
                              QMessageBox::No}) == QMessageBox::Yes;
}

void WriteForm::insertIntoBody(const QString &text)
{
    QTextCursor cursor = m_bodyText->textCursor();
    cursor.insertText(text);
    m_bodyText->setTextCursor(cursor);
}

// Typing stops at the limit; the user hears and reads why.
void WriteForm::showToTextFull()
{
    QApplication::beep();
    m_label7->setText(QStringLiteral("宛先は%1文字までです。これ以上は入力できません。")
                          .arg(kTypedRecipientLimit));
}

void WriteForm::widen()
{
    setFixedWidth(twipsToPixels(kWideWidthTwips));
    m_recipients->show();
    centreOnScreen(this);
    if (const Status filled = m_recipients->fillFromAddressStore(); !filled)
        m_app.showMessage(this, {filled.error(), QString(), QMessageBox::Ok, QMessageBox::Warning});
}

void WriteForm::narrow()
{
    setFixedWidth(twipsToPixels(kNormalWidthTwips));
    // Out of sight is out of reach: a hidden panel takes no keyboard focus.
    m_recipients->hide();
    m_recipients->showBulkColour(false);
    centreOnScreen(this);
}

QString WriteForm::recipientText() const
{
    return withCrLf(m_toText->toPlainText());
}

QString WriteForm::bodyText() const
{
    return withCrLf(m_bodyText->toPlainText());
}

void WriteForm::appendToBody(const QString &text)
{
    QTextCursor cursor(m_bodyText->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(withLf(text));
}

void WriteForm::applyGreeting()
{
    const QString greeting = m_combo1->currentText();
    const std::optional<TextEdit> edit =
        greetingEdit(m_bodyText->toPlainText(), m_appliedGreeting, greeting);
    if (!edit)
        return;
    QTextCursor cursor(m_bodyText->document());
    cursor.setPosition(edit->start);
    cursor.setPosition(edit->start + edit->length, QTextCursor::KeepAnchor);
    cursor.insertText(edit->text); // one undo step
    m_appliedGreeting = greeting;
}

bool WriteForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_combo1 && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
        applyGreeting();
    return QWidget::eventFilter(watched, event);
}

void WriteForm::enterPasteMode()
{
    if (m_toText->toPlainText() != QStringLiteral("qazu"))
        return;
    setFixedHeight(twipsToPixels(kPasteModeHeightTwips));
    m_text4->show();
    m_command2->show();
    m_command2->setEnabled(true);
}

void WriteForm::showHelp(const QString &text)
{
    m_text14->setPlainText(text);
    m_text14->show();
    m_text14->raise();
}

} // namespace orv
