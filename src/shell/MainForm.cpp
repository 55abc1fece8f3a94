#include "shell/MainForm.h"

#include "composer/WriteForm.h"
#include "emoticons/KaoForm.h"
#include "shell/OptionForm.h"
#include "shell/SetForm.h"
#include "store/Settings.h"
#include "transport/MailLibrary.h"
#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "ui/ClockText.h"
#include "ui/Controls.h"
#include "ui/PointerMoves.h"
#include "ui/Twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPainter>
#include <QRadialGradient>

namespace orv {

namespace {

constexpr int kClientWidthTwips = 7710;
constexpr int kClientHeightTwips = 5850;
constexpr int kClockTopTwips = 6120;

const QString kTunePath = QStringLiteral("\\Sound\\1.mid");
const QString kStartPicture = QStringLiteral("\\背景画像\\1.jpg ");
const QString kHomePage = QStringLiteral("\\HomePage\\index.html");

// Ripples on a lake, the emblem beside the title.
QPixmap emblem()
{
    QPixmap pixmap(56, 56);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient water(28, 28, 28);
    water.setColorAt(0, QColor(200, 235, 255, 230));
    water.setColorAt(1, QColor(40, 90, 160, 200));
    painter.setBrush(water);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 52, 52);
    painter.setBrush(Qt::NoBrush);
    for (int radius : {6, 12, 18, 24}) {
        painter.setPen(QPen(QColor(255, 255, 255, 255 - radius * 8), 1.5));
        painter.drawEllipse(QPointF(28, 28), radius, radius * 0.8);
    }
    return pixmap;
}

// The labels' looks, given through palettes and fonts: a style sheet would cost a parse
// and a style of its own for every control at every start.
void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour,
               QPalette::ColorGroup group = QPalette::All)
{
    QPalette colours = widget->palette();
    colours.setColor(group, role, colour);
    widget->setPalette(colours);
}

void setTextLooks(QLabel *label, const QColor &text, bool bold, bool italic = false)
{
    setColour(label, QPalette::WindowText, text);
    QFont font = label->font();
    font.setBold(bold);
    font.setItalic(italic);
    label->setFont(font);
}

void setCommandLooks(ClickableLabel *label)
{
    setTextLooks(label, Qt::white, true);
    // The style draws a disabled caption in the text colour of text boxes.
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text})
        setColour(label, role, QColor(255, 255, 255, 90), QPalette::Disabled);
    label->setPlate(QColor(20, 50, 90, 150), QColor(40, 110, 190, 190));
}

void setStatusLineLooks(QLabel *label)
{
    setTextLooks(label, Qt::white, false);
    setColour(label, QPalette::Window, QColor(0, 0, 0, 90));
    label->setAutoFillBackground(true);
    // The text stands clear of the dark box's edges.
    label->setMargin(3);
    label->setIndent(3);
}

} // namespace

void MainForm::bindWindowRoles(Forms &forms)
{
    forms.bindRole<ComposeBodyRole, WriteForm>();
    forms.bindRole<EmoticonPaletteRole, KaoForm>();
}

// Loading the launcher is the program's start-up: the windows find each other from here on.
MainForm::MainForm(App &app) : m_app(app)
{
    bindWindowRoles(app.forms());
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Orvaine Ver 1.05"));
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    // Before the picture comes, or without one, a night blue that the white captions read on.
    // A window opened over this one keeps its own colours.
    setColour(this, QPalette::Window, QColor(20, 40, 70));
    buildControls();
    nameControlsForScreenReaders();
    wireHelpTexts();
    wireCommands();
    wireShortcuts();
    startUp();
}

ClickableLabel *MainForm::commandLabel(const QString &name, const QString &caption, int leftTwips,
                                       int topTwips, int widthTwips)
{
    auto *label = namedControl<ClickableLabel>(name, caption, this);
    label->setGeometry(twipsRect(leftTwips, topTwips, widthTwips, 330));
    setCommandLooks(label);
    return label;
}

void MainForm::buildControls()
{
    m_image2 = namedControl<QLabel>(QStringLiteral("Image2"), this);
    m_image2->setGeometry(0, 0, width(), height());
    m_image2->setScaledContents(true);

    m_image1 = namedControl<QLabel>(QStringLiteral("Image1"), this);
    m_image1->setGeometry(twipsRect(6700, 180, 840, 840));

    struct CommandLabel {
        ClickableLabel *&label;
        const char16_t *name;
        QString caption;
        int left, top, width;
    };
    // The launcher column on the left; settings, minimise and home page bottom right.
    const CommandLabel commands[] = {
        {m_label1, u"Label1", QStringLiteral(" Orvaine Ver 1.05"), 240, 240, 2600},
        {m_label8, u"Label8", QStringLiteral("        受信"), 240, 900, 1800},
        {m_label9, u"Label9", QStringLiteral("     新規作成"), 240, 1350, 1800},
        {m_label10, u"Label10", QStringLiteral("   アドレス帳"), 240, 1800, 1800},
        {m_label7, u"Label7", QStringLiteral("   着信履歴"), 240, 2250, 1800},
        {m_label6, u"Label6", QStringLiteral("     送信履歴"), 240, 2700, 1800},
        {m_label13, u"Label13", QStringLiteral("     Play"), 240, 3300, 1800},
        {m_label14, u"Label14", QStringLiteral("     Stop"), 240, 3750, 1800},
        {m_label11, u"Label11", QString(26, u' ') + QStringLiteral("設定"), 4500, 4350, 3000},
        {m_label4, u"Label4", QString(25, u' ') + QStringLiteral("Small"), 4500, 4800, 3000},
        {m_label5, u"Label5", QString(26, u' ') + QStringLiteral("HomePage"), 4500, 5250, 3000},
    };
    for (const CommandLabel &command : commands)
        command.label = commandLabel(QString::fromUtf16(command.name), command.caption,
                                     command.left, command.top, command.width);
    // Their leading blanks push these captions to the right edge. Aligned right, a font
    // wider than the designed one cuts blanks off the left, never the caption's end.
    for (QLabel *rightHand : {m_label11, m_label4, m_label5})
        rightHand->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The title runs no command: no pointing hand, no stop in the keyboard's order.
    m_label1->setCursor(Qt::ArrowCursor);
    m_label1->setFocusPolicy(Qt::NoFocus);

    m_label12 = namedControl<QLabel>(QStringLiteral("Label12"), this);
    m_label12->setGeometry(twipsRect(2400, 900, 4000, 330));
    setTextLooks(m_label12, QColor(0xff, 0xf6, 0xc0), true);

    const std::array<QString, 2> mottos = {QStringLiteral("I will love you for ever"),
                                           QStringLiteral("What are you plans for the future?")};
    for (int index = 0; index < 2; ++index) {
        m_label3[index] = namedControl<QLabel>(QStringLiteral("Label3"), mottos[index], this);
        m_label3[index]->setProperty("index", index);
        m_label3[index]->setGeometry(twipsRect(2400, 2900 + index * 330, 4200, 300));
        setTextLooks(m_label3[index], QColor(255, 255, 255, 200), false, true);
    }

    m_label2 = namedControl<QLabel>(QStringLiteral("Label2"), this);
    m_label2->setGeometry(twipsRect(240, 4350, 4100, 1300));
    m_label2->setWordWrap(true);
    m_label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setStatusLineLooks(m_label2);

    m_text2 = namedControl<QLineEdit>(QStringLiteral("Text2"), this);
    m_text2->setGeometry(twipsRect(240, kClockTopTwips, 3600, 300));
    m_text2->setFocusPolicy(Qt::NoFocus); // out of sight, so out of the keyboard's way

    m_timer2 = namedControl<QTimer>(QStringLiteral("Timer2"), this);
    m_timer2->setInterval(1000);
}

void MainForm::nameControlsForScreenReaders()
{
    nameControls({
        {m_image2, QStringLiteral("背景画像")}, // its help text describes it
        {m_image1, QStringLiteral("エンブレム"), QStringLiteral("湖面に広がる波紋の絵")},
        {m_text2, QStringLiteral("時計")},
    });
}

void MainForm::wireHelpTexts()
{
    const std::pair<QWidget *, QString> helpTexts[] = {
        {m_label8, QStringLiteral("新着メールの受信を行います。")},
        {m_label9, QStringLiteral("メールの新規作成・送信を行います。")},
        {m_label10, QStringLiteral("アドレス帳への登録を行います。着信からの自動入力、送信時の一発"
                                   "入力が可能になります。")},
        {m_label11,
         QStringLiteral("ID,PASS,サーバーの設定。これを行わないと通信エラーになります。")},
        {m_label6, QStringLiteral(
                       "送信（送信履歴）したメールを見ます。画面はマウスでストレッチが出来ます。")},
        {m_label7, QStringLiteral(
                       "着信（着信履歴）したメールを見ます。画面はマウスでストレッチが出来ます。")},
        {m_label13, QStringLiteral("新着メール時に再生するMIDIの確認を行います。")},
        {m_label14, QStringLiteral("現在再生しているMIDIを停止します。")},
        {m_label4, QStringLiteral("フォーム（画面）を最小化します。")},
        {m_label5, QStringLiteral("メーラー専門店、作者のホームページです。")},
        {m_label1, QStringLiteral("夢は連鎖する、湖面の波紋のように・・・あなたにも・・・")},
        {m_image1, QString()},
        {m_image2, QStringLiteral("メールの新規作成・送信を行います。")},
    };
    for (const auto &[control, text] : helpTexts)
        wireHelpText(control, text, [this](const QString &help) { setStatusLine(help); });
}

void MainForm::wireCommands()
{
    connect(m_label8, &ClickableLabel::clicked, this, [this] {
        setStatusLine(QStringLiteral("メールを受信します。"));
        emit receiveRequested();
    });
    connect(m_label9, &ClickableLabel::clicked, this, &MainForm::composeRequested);
    connect(m_label10, &ClickableLabel::clicked, this, &MainForm::addressBookRequested);
    connect(m_label11, &ClickableLabel::clicked, this, [this] { m_app.forms().show<SetForm>(); });
    connect(m_label7, &ClickableLabel::clicked, this, &MainForm::receivedHistoryRequested);
    connect(m_label6, &ClickableLabel::clicked, this, &MainForm::sentHistoryRequested);
    connect(m_label13, &ClickableLabel::clicked, this, &MainForm::Play);
    connect(m_label14, &ClickableLabel::clicked, this, &MainForm::Stop);
    connect(m_label4, &ClickableLabel::clicked, this, &QWidget::showMinimized);
    connect(m_label5, &ClickableLabel::clicked, this, [this] {
        m_app.browser().open(QUrl::fromLocalFile(m_app.appDir().resolve(kHomePage)));
    });
    connect(m_timer2, &QTimer::timeout, this, &MainForm::tick);
}

// Keys that stay clear of text editing; the README lists them.
void MainForm::wireShortcuts()
{
    const std::pair<ClickableLabel *, QKeySequence> shortcuts[] = {
        {m_label8, QKeySequence(Qt::CTRL | Qt::Key_R)},
        {m_label9, QKeySequence(Qt::CTRL | Qt::Key_N)},
        {m_label10, QKeySequence(Qt::CTRL | Qt::Key_B)},
        {m_label7, QKeySequence(Qt::CTRL | Qt::Key_I)},
        {m_label6, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {m_label13, QKeySequence(Qt::CTRL | Qt::Key_P)},
        {m_label14, QKeySequence(Qt::CTRL | Qt::Key_Period)},
        {m_label11, QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {m_label4, QKeySequence(Qt::CTRL | Qt::Key_M)},
        {m_label5, QKeySequence(Qt::Key_F1)},
    };
    for (const auto &[label, keys] : shortcuts)
        label->setShortcut(keys);
}

void MainForm::startUp()
{
    m_label13->setEnabled(true);
    m_label14->setEnabled(false);
    m_app.state().serverSettings = LoadSettings(m_app.appDir());
    m_app.mail().NMailInitializeWinSock();
    m_app.mail().NMailSetOption(1, 8192);
    m_timer2->start();
}

// What start-up opens besides the main window waits until the main window has been drawn
// once, so that the main window shows as soon as it can.
bool MainForm::event(QEvent *event)
{
    if (event->type() == QEvent::Paint && !m_drawnOnce) {
        m_drawnOnce = true;
        QMetaObject::invokeMethod(this, &MainForm::afterFirstDrawing, Qt::QueuedConnection);
    }
    return QWidget::event(event);
}

void MainForm::afterFirstDrawing()
{
    // The pictures take about as long as the rest of the window: decoding the picture, and
    // the threads Qt starts to smooth the emblem's curves. The window shows first and they
    // come a moment later; new mail may have put its own picture there already.
    m_image1->setPixmap(emblem());
    if (m_image2->pixmap().isNull())
        showPicture(kStartPicture);
    // The compose window is loaded hidden to clear its fortune box.
    if (!m_app.forms().isLoaded<WriteForm>()) // 新規作成 may have loaded it already
        m_app.forms().get<WriteForm>()->Check1()->setChecked(false);
    // A first start has no server yet: the settings come up over the main window.
    if (m_app.state().serverSettings.pop3Server.isEmpty())
        m_app.forms().show<OptionForm>();
}

void MainForm::tick()
{
    m_text2->setText(clockText(m_app.clock().now()));
}

void MainForm::Play()
{
    // Opening fails while the tune is still open; the play then goes to the tune already open.
    m_app.tune().open(m_app.appDir().resolve(kTunePath));
    m_app.tune().play();
    m_label13->setEnabled(false);
    m_label14->setEnabled(true);
}

void MainForm::Stop()
{
    m_app.tune().close();
    m_label13->setEnabled(true);
    m_label14->setEnabled(false);
}

void MainForm::showPicture(const QString &programPath)
{
    const QPixmap picture(m_app.appDir().resolve(programPath));
    if (!picture.isNull())
        m_image2->setPixmap(picture);
}

void MainForm::setStatusLine(const QString &text)
{
    m_label2->setText(text);
}

void MainForm::setResultLabel(const QString &text)
{
    m_label12->setText(text);
}

void MainForm::clearClock()
{
    m_text2->clear();
}

void MainForm::closeEvent(QCloseEvent *event)
{
    m_timer2->stop();
    m_app.tune().close();
    m_app.mail().NMailEndWinSock();
    m_app.forms().unloadAll();
    event->accept();
    QCoreApplication::quit();
}

} // namespace orv
