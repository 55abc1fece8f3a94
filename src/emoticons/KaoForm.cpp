#include "emoticons/KaoForm.h"

#include "core/Cp932.h"
#include "emoticons/PaletteEditing.h"
#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "ui/Clipboard.h"
#include "ui/Controls.h"
#include "ui/Twips.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

namespace orv {

namespace {

constexpr int kClientWidthTwips = 8640;
constexpr int kClientHeightTwips = 8880;
constexpr int kTabsPerRow = 3;
constexpr int kTabHeightTwips = 520;
constexpr int kFirstPage = 3;

const QString kHowToInsert = QStringLiteral(
    "本文に挿入したい部分をマウスで選択（青色反転）し、「新規作成本文に挿入」をクリック！");

QPushButton *pageButton(QWidget *page, const char16_t *name, const QString &caption,
                        const QRect &place)
{
    auto *button = namedControl<QPushButton>(QString::fromUtf16(name), caption, page);
    button->setGeometry(place);
    return button;
}

QLabel *footerLabel(QWidget *parent, const QString &name, const QString &text, const QRect &place)
{
    auto *label = namedControl<QLabel>(name, text, parent);
    label->setGeometry(place);
    return label;
}

} // namespace

KaoForm::KaoForm(App &app) : m_app(app)
{
    setObjectName(QStringLiteral("KaoForm"));
    setWindowTitle(QStringLiteral("絵・顔文字"));
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    createTabRows();
    createFooter();
    loadPages();
    setKeyboardOrder();
    m_ssTab1->setCurrentIndex(kFirstPage);
}

// The tabs first, row by row, then the shown page: its buttons and its box.
void KaoForm::setKeyboardOrder()
{
    QList<QWidget *> order;
    for (QAbstractButton *tab : m_tabButtons->buttons())
        order.append(tab);
    for (int index = 0; index < kEmoticonPageCount; ++index) {
        for (QPushButton *button : m_ssTab1->widget(index)->findChildren<QPushButton *>())
            order.append(button);
        order.append(m_boxes[index]);
    }
    chainTabOrder(order);
}

// The pages are saved here when the window is destroyed without being closed: the program
// ends by unloading every window without its closing steps.
KaoForm::~KaoForm()
{
    if (!m_saved)
        savePages(nullptr);
}

void KaoForm::closeEvent(QCloseEvent *event)
{
    savePages(this);
    QWidget::closeEvent(event);
}

// The platform's tab bar keeps its tabs in one row; the palette's twelve tabs stand in
// rows of three above the pages instead.
void KaoForm::createTabRows()
{
    auto *rows = namedControl<QWidget>(QStringLiteral("SSTab1Rows"), this);
    rows->setGeometry(twipsRect(60, 60, 8520, kTabHeightTwips * 4));
    auto *grid = new QGridLayout(rows);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    m_tabButtons = new QButtonGroup(this);

    m_ssTab1 = namedControl<QTabWidget>(QStringLiteral("SSTab1"), this);
    m_ssTab1->tabBar()->hide();
    nameControls({{m_ssTab1, QStringLiteral("絵・顔文字のページ")}});
    m_ssTab1->setGeometry(twipsRect(60, 60 + kTabHeightTwips * 4, 8520, 5500));

    const auto &pages = emoticonPages();
    for (int index = 0; index < kEmoticonPageCount; ++index) {
        const QString caption = QString::fromUtf16(pages[index].caption);
        m_ssTab1->addTab(createPage(index), caption);
        auto *tab = new QToolButton(rows);
        tab->setObjectName(QStringLiteral("SSTab1Tab%1").arg(index));
        tab->setText(caption);
        tab->setCheckable(true);
        tab->setFixedHeight(twipsToPixels(kTabHeightTwips));
        tab->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_tabButtons->addButton(tab, index);
        grid->addWidget(tab, index / kTabsPerRow, index % kTabsPerRow);
    }
    connect(m_tabButtons, &QButtonGroup::idClicked, m_ssTab1, &QTabWidget::setCurrentIndex);
    connect(m_ssTab1, &QTabWidget::currentChanged, this,
            [this](int index) { m_tabButtons->button(index)->setChecked(true); });
}

QWidget *KaoForm::createPage(int index)
{
    const EmoticonPage &page = emoticonPages()[index];
    auto *tab = new QWidget;
    auto *insert = pageButton(tab, page.insertButton, QStringLiteral("新規作成本文に挿入"),
                              twipsRect(120, 90, 2775, 375));
    auto *add = pageButton(tab, page.addButton, QStringLiteral("追加（貼付）"),
                           twipsRect(120, 525, 2775, 375));
    connect(insert, &QPushButton::clicked, this, [this, index] { Insert(index); });
    connect(add, &QPushButton::clicked, this, [this, index] { Add(index); });
    if (page.favouritesButton) {
        auto *favourites =
            pageButton(tab, page.favouritesButton, QStringLiteral("お気に入りに追加"),
                       twipsRect(3015, 525, 1800, 375));
        connect(favourites, &QPushButton::clicked, this, [this, index] { AddToFavourites(index); });
    }

    auto *howTo = namedControl<QLabel>(
        index == 0 ? QStringLiteral("Label1") : QStringLiteral("Label3"), kHowToInsert, tab);
    if (index > 0)
        howTo->setProperty("index", index - 1);
    howTo->setWordWrap(true);
    howTo->setGeometry(twipsRect(4935, 60, 3400, 840));

    m_boxes[index] = namedControl<QPlainTextEdit>(QString::fromUtf16(page.box), tab);
    nameControls({{m_boxes[index], QString::fromUtf16(page.caption)}});
    m_boxes[index]->setGeometry(twipsRect(120, 990, 8175, 4215));
    m_boxes[index]->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_boxes[index]->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_boxes[index]->setTabChangesFocus(true);
    return tab;
}

void KaoForm::createFooter()
{
    const int top = 60 + kTabHeightTwips * 4 + 5500 + 120;
    footerLabel(this, QStringLiteral("Label6"), QStringLiteral("文字署名"),
                twipsRect(120, top, 2700, 270));
    footerLabel(this, QStringLiteral("Label5"), QStringLiteral("orvaine.example.jp/sign/"),
                twipsRect(120, top + 285, 2700, 270));
    footerLabel(this, QStringLiteral("Label7"), QStringLiteral("(^-^)なページ"),
                twipsRect(2900, top, 2700, 270));
    footerLabel(this, QStringLiteral("Label8"), QStringLiteral("orvaine.example.jp/kao/"),
                twipsRect(2900, top + 285, 2700, 270));
    QLabel *note = footerLabel(
        this, QStringLiteral("Label4"),
        QStringLiteral(
            "追加・削除、編集自由自在。自動で保存されます。県名や電話番号、氏名をあなた用"
            "に変更して下さい。"),
        twipsRect(5700, top - 60, 2820, 900));
    note->setWordWrap(true);
}

void KaoForm::loadPages()
{
    QStringList errors;
    for (int index = 0; index < kEmoticonPageCount; ++index) {
        const LoadedPage loaded = loadPage(m_app.appDir(), emoticonPages()[index]);
        QPlainTextEdit *box = m_boxes[index];
        box->setPlainText(loaded.text);
        m_loadedText[index] = box->toPlainText();
        m_unreadable[index] = loaded.state == LoadedPage::State::Unreadable;
        if (m_unreadable[index]) {
            box->setReadOnly(true);
            errors << loaded.error;
        }
    }
    if (!errors.isEmpty())
        m_app.showMessage(this, {errors.join(u'\n') +
                                     QStringLiteral("\n\nこのページは編集できず、閉じるときにも保存"
                                                    "しません。ファイルはそのまま残ります。"),
                                 {},
                                 QMessageBox::Ok,
                                 QMessageBox::Warning});
}

void KaoForm::savePages(QWidget *messageParent)
{
    m_saved = true;
    QStringList errors;
    for (int index = 0; index < kEmoticonPageCount; ++index) {
        const QString text = m_boxes[index]->toPlainText();
        if (m_unreadable[index] || text == m_loadedText[index])
            continue;
        if (const Status saved = savePage(m_app.appDir(), emoticonPages()[index], text); !saved)
            errors << saved.error();
        else
            m_loadedText[index] = text;
    }
    if (!errors.isEmpty())
        m_app.showMessage(messageParent, {QStringLiteral("顔文字データを保存できませんでした。\n") +
                                              errors.join(u'\n'),
                                          {},
                                          QMessageBox::Ok,
                                          QMessageBox::Critical});
}

// With nothing selected there is nothing to insert: the body and the clipboard stay as they
// are, and the palette stays open for a selection.
void KaoForm::Insert(int page)
{
    if (!m_boxes[page]->textCursor().hasSelection()) {
        m_app.showMessage(this, {kHowToInsert, {}, QMessageBox::Ok, QMessageBox::Information});
        m_boxes[page]->setFocus();
        return;
    }
    const QString text = TakeSelection(*m_boxes[page]);
    if (ComposeBodyRole *compose = m_app.forms().showRole<ComposeBodyRole>())
        compose->insertIntoBody(text);
    close();
}

void KaoForm::Add(int page)
{
    ReplaceSelection(*m_boxes[page], trimBlanks(clipboardText()));
}

void KaoForm::AddToFavourites(int page)
{
    ReplaceSelection(*m_boxes[kFavouritesPage], TakeSelection(*m_boxes[page]));
}

} // namespace orv
