#include "addressbook/FriendForm.h"

#include "addressbook/AddressBookRules.h"
#include "addressbook/AddressExchangeMenu.h"
#include "addressbook/AddressListView.h"
#include "addressbook/TypingLimit.h"
#include "core/Cp932.h"
#include "store/AddressStore.h"
#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "ui/Clipboard.h"
#include "ui/Controls.h"
#include "ui/PointerMoves.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace orv {

namespace {

constexpr int kClientWidthTwips = 8490;
constexpr int kClientHeightTwips = 6960;
constexpr int kAddressTypingLimit = 60;
constexpr int kNameTypingLimit = 30;

const QString kRegistered = QStringLiteral("　登録が完了しました。");
const QString kSelected = QStringLiteral("　選択しました。");
const QString kDeleted = QStringLiteral("削除が完了しました");

// Address cards fanned out over a sky-blue band, the picture behind the input boxes.
QPixmap cardsPicture(QSize size)
{
    QPixmap pixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor(236, 246, 255));
    sky.setColorAt(1, QColor(196, 222, 246));
    painter.fillRect(pixmap.rect(), sky);
    const QPointF anchor(size.width() - 70, size.height() - 18);
    for (int card = 0; card < 3; ++card) {
        painter.save();
        painter.translate(anchor);
        painter.rotate(-18 + card * 14);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(-38, -78, 76, 52), 5, 5);
        painter.setPen(QPen(QColor(120, 160, 205), 1));
        painter.setBrush(QColor(255, 255, 255, 235));
        painter.drawPath(shape);
        painter.setPen(QPen(QColor(150, 185, 220), 2));
        for (int line = 0; line < 3; ++line)
            painter.drawLine(QPointF(-28, -64 + line * 12),
                             QPointF(20 - line * 10, -64 + line * 12));
        painter.restore();
    }
    return pixmap;
}

QPushButton *button(QWidget *parent, const char16_t *name, const QString &caption,
                    const QRect &place)
{
    auto *command = namedControl<QPushButton>(QString::fromUtf16(name), caption, parent);
    command->setGeometry(place);
    return command;
}

QLineEdit *lineBox(QWidget *parent, const char16_t *name, const QRect &place)
{
    auto *box = namedControl<QLineEdit>(QString::fromUtf16(name), parent);
    box->setGeometry(place);
    return box;
}

QLabel *caption(QWidget *parent, const QString &name, const QString &text, const QRect &place)
{
    auto *label = namedControl<QLabel>(name, text, parent);
    label->setGeometry(place);
    return label;
}

} // namespace

FriendForm::FriendForm(App &app) : m_app(app)
{
    setObjectName(QStringLiteral("FriendForm"));
    setWindowTitle(QStringLiteral("アドレス帳"));
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    setMouseTracking(true);
    createControls();
    createPictures();
    nameControlsForScreenReaders();
    connectCommands();
    connectHelpTexts();
    installAddressExchangeMenu(m_app, *this);

    addListColumns();
    m_text3->setText(QString::number(m_mailListView->topLevelItemCount()));
    m_label7->clear();
    ReloadList();
}

void FriendForm::createControls()
{
    m_image1 = caption(this, QStringLiteral("Image1"), QString(), twipsRect(120, 60, 8250, 1800));

    const std::array<QString, 4> label1Captions = {
        QStringLiteral("メールアドレス"), QStringLiteral("名前"), QStringLiteral("登録件数"),
        QStringLiteral("名刺")};
    const std::array<QRect, 4> label1Places = {
        twipsRect(240, 210, 1300, 270), twipsRect(240, 630, 1300, 270),
        twipsRect(2460, 1500, 900, 270), twipsRect(240, 1050, 1300, 270)};
    for (int index = 0; index < 4; ++index) {
        m_label1[index] =
            caption(this, QStringLiteral("Label1"), label1Captions[index], label1Places[index]);
        m_label1[index]->setProperty("index", index);
    }

    m_text4 = lineBox(this, u"Text4", twipsRect(1560, 180, 4800, 330));
    auto *addressLimit = new TypingLimit(kAddressTypingLimit, m_text4);
    m_text4->setValidator(addressLimit);
    connect(addressLimit, &TypingLimit::typingRefused, this, [this] {
        m_addressCut = true;
        showFull(QStringLiteral("メールアドレス"), kAddressTypingLimit);
    });
    // Any edit after the refusal is the user's own address again.
    connect(m_text4, &QLineEdit::textEdited, this, [this] { m_addressCut = false; });
    connect(m_text4, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty())
            m_addressCut = false;
    });
    m_command1 = button(this, u"Command1", QStringLiteral("貼付"), twipsRect(6480, 165, 900, 360));

    // The platform offers no switch to the hiragana input mode; the input method stays on.
    m_text2 = lineBox(this, u"Text2", twipsRect(1560, 600, 3000, 330));
    auto *nameLimit = new TypingLimit(kNameTypingLimit, m_text2);
    m_text2->setValidator(nameLimit);
    connect(nameLimit, &TypingLimit::typingRefused, this,
            [this] { showFull(QStringLiteral("名前"), kNameTypingLimit); });

    m_text50 = lineBox(this, u"Text50", twipsRect(1560, 1020, 3000, 330));
    m_command38 =
        button(this, u"Command38", QStringLiteral("名刺挿入"), twipsRect(4680, 1005, 1300, 360));

    m_command3 = button(this, u"Command3", QStringLiteral("登録"), twipsRect(240, 1455, 1000, 360));
    m_command4 =
        button(this, u"Command4", QStringLiteral("削除"), twipsRect(1320, 1455, 1000, 360));
    m_text3 = lineBox(this, u"Text3", twipsRect(3360, 1470, 700, 330));
    m_text3->setReadOnly(true);
    m_text3->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_label4 =
        caption(this, QStringLiteral("Label4"),
                QStringLiteral("名刺は新規作成で宛先、１発挿入した際の確認用として使用します。"),
                twipsRect(4200, 1380, 4170, 480));
    m_label4->setWordWrap(true);

    m_mailListView = namedControl<AddressListView>(QStringLiteral("MailListView"), this);
    m_mailListView->setGeometry(twipsRect(120, 1980, 8250, 4500));

    m_text5 = namedControl<QPlainTextEdit>(QStringLiteral("Text5"), this);
    m_text5->setGeometry(twipsRect(1500, 3000, 5500, 1800));
    m_text5->setReadOnly(true);
    m_text5->setFocusPolicy(Qt::NoFocus); // the help box, shown over the list

    m_picture1 = namedControl<QWidget>(QStringLiteral("Picture1"), this);
    m_picture1->setGeometry(twipsRect(0, 6600, kClientWidthTwips, 360));
    m_picture1->setAutoFillBackground(true);
    m_label7 =
        caption(m_picture1, QStringLiteral("Label7"), QString(), twipsRect(120, 45, 8200, 270));

    // Beyond the right edge of the window, out of the user's reach: the reload the other
    // commands share.
    m_command2 =
        button(this, u"Command2", QStringLiteral("Command2"), twipsRect(8700, 120, 1000, 360));
    m_command2->setFocusPolicy(Qt::NoFocus);
    m_label3 = caption(this, QStringLiteral("Label3"), QStringLiteral("※重要削除するな！！"),
                       twipsRect(8700, 540, 2000, 270));
}

void FriendForm::createPictures()
{
    m_image1->setPixmap(cardsPicture(m_image1->size()));
    m_image1->lower();
    QPalette strip = m_picture1->palette();
    strip.setColor(QPalette::Window, QColor(225, 232, 240));
    m_picture1->setPalette(strip);
}

void FriendForm::nameControlsForScreenReaders()
{
    nameControls({
        {m_image1, QStringLiteral("名刺の絵"),
         QStringLiteral("空色の帯の上に扇のように広げた名刺の絵")},
        {m_text4, QStringLiteral("メールアドレス")},
        {m_text2, QStringLiteral("名前")},
        {m_text50, QStringLiteral("名刺")},
        {m_text3, QStringLiteral("登録件数")},
        {m_mailListView, QStringLiteral("登録したアドレスの一覧")},
        {m_text5, QStringLiteral("説明")},
    });
}

void FriendForm::connectCommands()
{
    connect(m_command1, &QPushButton::clicked, this, &FriendForm::PasteAddress);
    connect(m_command2, &QPushButton::clicked, this, &FriendForm::ReloadList);
    connect(m_command3, &QPushButton::clicked, this, &FriendForm::Register);
    connect(m_command4, &QPushButton::clicked, this, &FriendForm::DeleteSelected);
    connect(m_command38, &QPushButton::clicked, this, &FriendForm::InsertBusinessCard);
    connect(m_mailListView, &AddressListView::pressed, this, &FriendForm::ShowPressedEntry);
}

void FriendForm::connectHelpTexts()
{
    const std::pair<QPushButton *, QString> helped[] = {
        {m_command1, addressbook::command1Help()},
        {m_command3, addressbook::command3Help()},
        {m_command4, addressbook::command4Help()},
        {m_command38, addressbook::command38Help()}};
    for (const auto &[command, help] : helped) {
        wireHelpText(command, help, [this](const QString &text) { showHelp(text); });
        // The box lies over the list; the keyboard moving on must not leave it in the way.
        // A control also loses the focus while the window is torn down: no member of it then.
        onFocusOut(command, [box = QPointer<QWidget>(m_text5)] {
            if (box)
                box->hide();
        });
    }
}

void FriendForm::addListColumns()
{
    m_mailListView->setHeaderLabels({QStringLiteral("Address"), QStringLiteral("Name")});
    const int listWidth = m_mailListView->width();
    m_mailListView->setColumnWidth(0, listWidth / 2);
    m_mailListView->setColumnWidth(1, listWidth / 3);
}

void FriendForm::ReloadList()
{
    m_mailListView->clear();
    std::vector<AddressRecord> records;
    const Status status = AddressStore(m_app.appDir()).ReadAll(records);
    QList<QTreeWidgetItem *> rows;
    rows.reserve(static_cast<qsizetype>(records.size()));
    for (const AddressRecord &record : records)
        rows.append(new QTreeWidgetItem({listCell(record.address()), listCell(record.name())}));
    m_mailListView->addTopLevelItems(rows);
    m_text3->setText(QString::number(m_mailListView->topLevelItemCount()));
    if (!status)
        fail(status);
}

void FriendForm::Register()
{
    const QString name = m_text2->text();
    const QString address = m_text4->text();
    if (m_addressCut) {
        tell(QStringLiteral("メールアドレスが%1文字で切れているため登録できません。"
                            "入りきらなかった部分は入力されていません。"
                            "アドレスを確かめて入力し直して下さい。")
                 .arg(kAddressTypingLimit));
        return;
    }
    if (const QString problem = registrationProblem(name, address); !problem.isEmpty()) {
        tell(problem);
        return;
    }
    const Status status = AddressStore(m_app.appDir()).Append(name, address);
    if (status)
        m_label7->setText(kRegistered);
    else
        fail(status);
    ReloadList();
}

// A box that stops typing at its limit says so: a sound and the status line.
void FriendForm::showFull(const QString &field, int limit)
{
    QApplication::beep();
    m_label7->setText(
        QStringLiteral("%1は%2文字までです。これ以上は入力できません。").arg(field).arg(limit));
}

void FriendForm::InsertBusinessCard()
{
    if (m_text4->text().isEmpty()) {
        tell(QStringLiteral("メールアドレスが入力されていません"));
        return;
    }
    const QString cardName = m_text50->text();
    if (cardName.isEmpty()) {
        tell(QStringLiteral("名詞が入力されていません"));
        return;
    }
    if (const QString problem = businessCardNameProblem(cardName); !problem.isEmpty()) {
        tell(problem);
        return;
    }
    m_text4->setText(businessCardAddress(cardName, m_text4->text()));
}

void FriendForm::ShowPressedEntry()
{
    const int number = m_mailListView->selectedRecordNumber();
    if (number == 0)
        return;
    QString name, address;
    if (!readEntry(number, name, address))
        return;
    m_text2->setText(name);
    m_text4->setText(address);
    m_label7->setText(kSelected);
}

void FriendForm::DeleteSelected()
{
    const int number = m_mailListView->selectedRecordNumber();
    if (m_text4->text().isEmpty() || number == 0) {
        tell(QStringLiteral("データが選択されていません"));
        return;
    }
    AddressStore store(m_app.appDir());
    AddressRecord record;
    if (const Status read = store.Read(number, record); !read) {
        fail(read);
        ReloadList();
        return;
    }
    m_text2->setText(trimBlanks(record.name()));
    m_text4->setText(trimBlanks(record.address()));
    m_label7->setText(QStringLiteral(" "));

    const bool yes =
        m_app.showMessage(
            this, {QStringLiteral("選択された（行、青色）データを削除します。よろしいですか"),
                   QStringLiteral("確認"), QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::Question}) == QMessageBox::Yes;
    Status marked = Status::success();
    if (yes)
        marked = store.MarkDeleted(number, record);
    const Status compacted = store.Compact();
    if (!marked)
        fail(marked);
    else if (!compacted)
        fail(compacted);
    else if (yes)
        m_label7->setText(kDeleted);
    ReloadList();
}

void FriendForm::PasteAddress()
{
    m_text4->setText(clipboardText());
}

bool FriendForm::readEntry(int number, QString &name, QString &address)
{
    AddressRecord record;
    const Status status = AddressStore(m_app.appDir()).Read(number, record);
    if (!status) {
        fail(status);
        return false;
    }
    name = trimBlanks(record.name());
    address = trimBlanks(record.address());
    return true;
}

void FriendForm::tell(const QString &text)
{
    m_app.showMessage(this, {text, {}, QMessageBox::Ok, QMessageBox::NoIcon});
}

void FriendForm::fail(const Status &status)
{
    m_app.showMessage(this, {status.error(), {}, QMessageBox::Ok, QMessageBox::Critical});
}

void FriendForm::showHelp(const QString &text)
{
    m_text5->setPlainText(text);
    m_text5->show();
}

// Only the window's own background hides the help box; moves over its controls that
// reach the window (a button passes them on) leave it alone.
void FriendForm::mouseMoveEvent(QMouseEvent *event)
{
    if (!childAt(event->position().toPoint()))
        m_text5->hide();
    QWidget::mouseMoveEvent(event);
}

void OpenAddressBookWith(App &app, const QString &address)
{
    app.forms().get<FriendForm>()->Text4()->setText(address);
    app.forms().show<FriendForm>();
}

} // namespace orv
