#include "viewer/TyakuForm.h"

#include "addressbook/FriendForm.h"
#include "composer/BackForm.h"
#include "ui/AccessibleNames.h"
#include "ui/App.h"
#include "ui/PointerMoves.h"
#include "ui/Twips.h"
#include "viewer/Deletion.h"
#include "viewer/EditorCommands.h"
#include "viewer/ExchangeCommands.h"
#include "viewer/FilterBar.h"
#include "viewer/HelpTexts.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListModel.h"
#include "viewer/MailListView.h"
#include "viewer/QuickSave.h"
#include "viewer/ToolBarIcons.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>

#include <functional>
#include <map>

namespace orv {

namespace {

template <typename Widget> Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton *commandButton(QWidget *parent, const char *name, const QString &caption,
                           const TwipsRect &place)
{
    auto *button = named(new QPushButton(caption, parent), name);
    button->setGeometry(place.toPixels());
    return button;
}

QLineEdit *textBox(QWidget *parent, const char *name, const TwipsRect &place)
{
    auto *box = named(new QLineEdit(parent), name);
    box->setGeometry(place.toPixels());
    return box;
}

// Subjects, senders and dates are read from their beginning ("【重要】…", the weekday);
// setText leaves the cursor, and so the view, at the end. Typing keeps its cursor.
void showBeginningWhenSet(QLineEdit *field)
{
    QObject::connect(field, &QLineEdit::textChanged, field, [field] {
        if (!field->isModified()) // set by the program, not typed
            field->setCursorPosition(0);
    });
}

QLabel *label(QWidget *parent, const char *name, const QString &caption, const TwipsRect &place)
{
    auto *text = named(new QLabel(caption, parent), name);
    text->setGeometry(place.toPixels());
    return text;
}

struct ToolBarButton {
    const char *key;
    QString toolTip;
};

QList<ToolBarButton> toolBarButtons()
{
    return {{"New", QStringLiteral("新規作成")},          {"Open", QStringLiteral("開く")},
            {"Save", QStringLiteral("名前を付けて保存")}, {"Print", QStringLiteral("印刷")},
            {"Cut", QStringLiteral("切り取り")},          {"Copy", QStringLiteral("ｺﾋﾟｰ")},
            {"Paste", QStringLiteral("貼り付け")},        {"Bold", QStringLiteral("太字")},
            {"Italic", QStringLiteral("斜体")},           {"Underline", QStringLiteral("下線")}};
}

} // namespace

TyakuForm::TyakuForm(App &app) : m_app(app), m_geometry(designedViewerGeometry())
{
    setObjectName(QStringLiteral("TyakuForm"));
    const OuterSize size = designedViewerSize();
    resize(twipsToPixels(size.width), twipsToPixels(size.height));
    createControls();
    createMenus();
    installExchangeCommands(m_app, *this);
    createToolBar();
    connectCommands();
    connectPointerMoves();
    nameControlsForScreenReaders();
    applyGeometry();

    addListColumns();
    m_geometry.rtfEd.left = 20;
    m_geometry.rtfEd.top = 3900;
    m_rtfEd->setGeometry(m_geometry.rtfEd.toPixels());
    loadEditorFile();
}

void TyakuForm::createControls()
{
    m_canvas = named(new QWidget(this), "TyakuCanvas");
    m_canvas->setAutoFillBackground(true);
    setCentralWidget(m_canvas);

    m_picture1 = named(new QWidget(m_canvas), "Picture1");
    m_picture1->setGeometry(m_geometry.picture1.toPixels());

    m_command3 =
        commandButton(m_canvas, "Command3", QStringLiteral("一件削除"), {60, 480, 1100, 360});
    m_command6 =
        commandButton(m_canvas, "Command6", QStringLiteral("全件削除"), {1200, 480, 1100, 360});
    m_command2 = commandButton(m_canvas, "Command2", QStringLiteral("TextQuickSave"),
                               {2340, 480, 1500, 360});
    m_command4 = commandButton(m_canvas, "Command4", QStringLiteral("アドレス帳登録"),
                               {3880, 480, 1600, 360});
    m_command5 =
        commandButton(m_canvas, "Command5", QStringLiteral("返事を書く"), {5520, 480, 1400, 360});
    m_label4 = label(m_canvas, "Label4", QStringLiteral("件数"), {7040, 510, 460, 300});
    m_text2 = textBox(m_canvas, "Text2", {7500, 510, 800, 300});
    m_label2 = label(m_canvas, "Label2", QStringLiteral("検索文字"), {8420, 510, 880, 300});
    m_text1 = textBox(m_canvas, "Text1", {9300, 510, 2400, 300});
    m_command2->hide(); // shown by the first layout

    m_mailList = named(new MailListView(m_canvas), "MailListView");
    m_listModel = new MailListModel(m_mailList);
    m_mailList->setModel(installFilterBar(m_app, *this, *m_listModel));

    m_text7 = textBox(m_canvas, "Text7", m_geometry.text7);
    m_text8 = textBox(m_canvas, "Text8", m_geometry.text8);
    m_text9 = textBox(m_canvas, "Text9", m_geometry.text9);
    for (QLineEdit *field : {m_text7, m_text8, m_text9})
        showBeginningWhenSet(field);
    m_rtfEd = named(new QTextEdit(m_canvas), "rtfEd");
    m_rtfEd->setAcceptRichText(false);
    m_rtfEd->setTabChangesFocus(true); // Tab leads on to the commands after it

    m_text4 = named(new QPlainTextEdit(m_canvas), "Text4");
    m_text4->setReadOnly(true);
    m_text4->setFocusPolicy(Qt::NoFocus); // the help box, shown over the body
    m_text4->setGeometry(TwipsRect{6200, 4300, 5500, 2200}.toPixels());
    m_text4->hide();

    m_text5 = textBox(m_canvas, "Text5", {0, 0, 300, 300});
    m_text5->hide();

    m_statusBar1 = named(new QStatusBar(m_canvas), "StatusBar1");
    m_statusBar1->setSizeGripEnabled(false);
    m_command1 = commandButton(m_canvas, "Command1", QStringLiteral("コピー（Subject/from/Data）"),
                               m_geometry.command1);
    m_text6 = textBox(m_canvas, "Text6", m_geometry.text6);
    m_text6->hide(); // shown by the first layout
}

void TyakuForm::createMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("mFile"));
    QMenu *edit = menuBar()->addMenu(QStringLiteral("編集"));
    edit->setObjectName(QStringLiteral("medit"));

    const auto item = [this](QMenu *menu, const char *name, const QString &caption,
                             std::function<void()> action) {
        QAction *entry = menu->addAction(caption);
        entry->setObjectName(QLatin1String(name));
        if (action)
            connect(entry, &QAction::triggered, this, std::move(action));
    };
    const auto separator = [](QMenu *menu, const char *name) {
        menu->addSeparator()->setObjectName(QLatin1String(name));
    };

    item(file, "mnew", QStringLiteral("新規作成"), [this] { New(m_app, *this); });
    item(file, "mopen", QStringLiteral("開く"), [this] { OpenDialog(m_app, *this); });
    item(file, "msave", QStringLiteral("名前を付けて保存"),
         [this] { dispatchToolbarKey(QStringLiteral("Save")); });
    item(file, "mprint", QStringLiteral("印刷"), nullptr);
    separator(file, "mline");
    item(file, "mend", QStringLiteral("終了"), [this] { close(); });

    item(edit, "mall", QStringLiteral("全て選択"), [this] { selectAll(*m_rtfEd); });
    item(edit, "matamajump", QStringLiteral("文頭へジャンプ"), [this] { jumpToStart(*m_rtfEd); });
    item(edit, "mbunmatujump", QStringLiteral("文末へジャンプ"), [this] { jumpToEnd(*m_rtfEd); });
    separator(edit, "mline3");
    item(edit, "mkensaku", QStringLiteral("検索"), [this] { Search(m_app, *this); });
    item(edit, "mtugikensaku", QStringLiteral("次を検索"), [this] { SearchNext(m_app, *this); });
    separator(edit, "mline2");
    item(edit, "mcut", QStringLiteral("切り取り"), [this] { Cut(*m_rtfEd); });
    item(edit, "mcopy", QStringLiteral("コピー"), [this] { Copy(*m_rtfEd); });
    item(edit, "mpaste", QStringLiteral("貼付け"), [this] { Paste(*m_rtfEd); });
}

void TyakuForm::createToolBar()
{
    m_toolBar = named(new QToolBar(m_picture1), "tbToolBar");
    m_toolBar->setIconSize(QSize(16, 16));
    for (const ToolBarButton &button : toolBarButtons()) {
        const QString key = QLatin1String(button.key);
        QAction *action = m_toolBar->addAction(toolBarIcon(*m_toolBar, key), button.toolTip);
        action->setObjectName(key);
        action->setToolTip(button.toolTip);
        connect(action, &QAction::triggered, this, [this, key] { dispatchToolbarKey(key); });
    }
    m_toolBar->setGeometry(0, 0, m_picture1->width(), m_picture1->height());
    // Bold, italic and underline are on the tool bar alone: Tab has to reach it.
    for (QAction *action : m_toolBar->actions())
        m_toolBar->widgetForAction(action)->setFocusPolicy(Qt::TabFocus);
}

void TyakuForm::nameControlsForScreenReaders()
{
    nameControls({
        {m_text2, QStringLiteral("件数")},
        {m_text1, QStringLiteral("検索文字")},
        {m_mailList, QStringLiteral("メールの一覧")},
        {m_text7, QStringLiteral("件名")},
        {m_text8, QStringLiteral("差出人")},
        {m_text9, QStringLiteral("日付")},
        {m_rtfEd, QStringLiteral("本文")},
        {m_text4, QStringLiteral("説明")},
        {m_text5, QStringLiteral("選択の印")},
        {m_text6, QStringLiteral("コピー欄")},
        {m_toolBar, QStringLiteral("編集ツールバー")},
    });
}

void TyakuForm::dispatchToolbarKey(const QString &key)
{
    const auto saveWithHeaderBlock = [this] {
        putHeaderBlockInFront(*this);
        SaveAsDialog(m_app, *this);
    };
    const std::map<QString, std::function<void()>> actions = {
        {QStringLiteral("New"), [this] { New(m_app, *this); }},
        {QStringLiteral("Open"), [this] { OpenDialog(m_app, *this); }},
        {QStringLiteral("Save"), saveWithHeaderBlock},
        {QStringLiteral("SaveAs"), saveWithHeaderBlock},
        {QStringLiteral("Print"), [this] { Print(m_app, *this); }},
        {QStringLiteral("Cut"), [this] { Cut(*m_rtfEd); }},
        {QStringLiteral("Copy"), [this] { Copy(*m_rtfEd); }},
        {QStringLiteral("Paste"), [this] { Paste(*m_rtfEd); }},
        {QStringLiteral("Bold"), [this] { toggleStyle(m_app, *this, TextStyle::Bold); }},
        {QStringLiteral("Italic"), [this] { toggleStyle(m_app, *this, TextStyle::Italic); }},
        {QStringLiteral("Underline"), [this] { toggleStyle(m_app, *this, TextStyle::Underline); }},
    };
    if (const auto it = actions.find(key); it != actions.end())
        it->second();
}

void TyakuForm::connectCommands()
{
    connect(m_mailList, &MailListView::clickedAnywhere, this,
            [this] { clickMailList(m_app, *this); });
    connect(m_mailList, &MailListView::selectionMoved, this,
            [this] { showSelectedMessage(m_app, *this); });
    connect(m_command1, &QPushButton::clicked, this, [this] { copyField(*this); });
    connect(m_command2, &QPushButton::clicked, this, [this] { quickSave(m_app, *this); });
    connect(m_command3, &QPushButton::clicked, this, [this] { deleteOne(m_app, *this); });
    connect(m_command6, &QPushButton::clicked, this, [this] { deleteAll(m_app, *this); });
    connect(m_command4, &QPushButton::clicked, this, [this] {
        if (passSelectionTest(m_app, *this))
            OpenAddressBookWith(m_app, m_text8->text());
    });
    connect(m_command5, &QPushButton::clicked, this, [this] {
        if (passSelectionTest(m_app, *this))
            OpenReply(m_app, this, m_text7->text(), m_text8->text(), m_rtfEd->toPlainText());
    });
    connect(m_rtfEd, &QTextEdit::textChanged, this,
            [this] { m_app.state().editor.editorModified = true; });
}

void TyakuForm::connectPointerMoves()
{
    const std::pair<QWidget *, QString> helped[] = {
        {m_command1, viewer::command1Help()}, {m_command2, viewer::command2Help()},
        {m_command3, viewer::command3Help()}, {m_command4, viewer::command4Help()},
        {m_command5, viewer::command5Help()}, {m_command6, viewer::command6Help()},
        {m_text1, viewer::text1Help()}};
    for (const auto &[control, help] : helped) {
        wireHelpText(control, help, [this](const QString &text) { showHelp(text); });
        // The box lies over the body; the keyboard moving on must not leave it in the way.
        // A control also loses the focus while the window is torn down: no member of it then.
        onFocusOut(control, [box = QPointer<QWidget>(m_text4)] {
            if (box)
                box->hide();
        });
    }

    for (QLineEdit *field : {m_text7, m_text8, m_text9})
        onPointerMove(field, [this, field] { m_text6->setText(field->text()); });

    onPointerMove(m_canvas, [this] { moveCopyControls(copyControlsOnStatusBar(m_geometry)); });
    for (QWidget *area : {static_cast<QWidget *>(m_mailList), m_mailList->viewport()})
        onPointerMove(area, [this] {
            hideHelp();
            m_text4->clear();
            moveCopyControls(copyControlsAtBottom(m_geometry, outerSize()));
        });
    for (QWidget *area : {static_cast<QWidget *>(m_rtfEd), m_rtfEd->viewport()})
        onPointerMove(area, [this] {
            hideHelp();
            moveCopyControls(copyControlsAtBottom(m_geometry, outerSize()));
        });
}

void TyakuForm::addListColumns()
{
    const ListColumnWidths widths = listColumnWidths(m_geometry.mailList.width);
    m_mailList->setColumnWidth(MailListModel::SubjectColumn, twipsToPixels(widths.subject));
    m_mailList->setColumnWidth(MailListModel::FromColumn, twipsToPixels(widths.from));
    m_mailList->setColumnWidth(MailListModel::DateColumn, twipsToPixels(widths.date));
}

void TyakuForm::loadEditorFile()
{
    EditorState &editor = m_app.state().editor;
    // A first load in a run has no editor file yet: nothing to load is not a failure.
    while (!editor.editorFile.isEmpty()) {
        QString text;
        if (readTextFile(editor.editorFile, text)) {
            setEditorText(*m_rtfEd, text);
            break;
        }
        const MessageBoxRequest loadError{
            QString(), App::applicationTitle() + QStringLiteral("  Form_LoadError"),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Warning};
        if (m_app.showMessage(this, loadError) != QMessageBox::Ok)
            break;
    }
    editor.editorModified = false;
    m_rtfEd->show();
}

int TyakuForm::selectedRecordNumber() const
{
    const QModelIndexList rows = m_mailList->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : recordNumberOfRow(rows.first());
}

void TyakuForm::setListBackground(const QColor &colour)
{
    QPalette palette = m_mailList->palette();
    palette.setColor(QPalette::Base, colour);
    m_mailList->setPalette(palette);
}

void TyakuForm::showHelp(const QString &text)
{
    m_text4->setPlainText(text);
    m_text4->show();
    m_text4->raise();
}

void TyakuForm::hideHelp()
{
    m_text4->hide();
}

void TyakuForm::moveCopyControls(const ViewerGeometry &geometry)
{
    m_geometry = geometry;
    applyGeometry();
}

void TyakuForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_shownOnce)
        runResizeLayout();
}

void TyakuForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        runResizeLayout();
    }
}

void TyakuForm::runResizeLayout()
{
    m_text6->show();
    m_command2->show();
    dockStatusBar();
    m_geometry = resizeLayout(m_geometry, outerSize());
    applyGeometry();
}

// The status bar lies along the bottom of the window, wherever that is now.
void TyakuForm::dockStatusBar()
{
    const double height = m_geometry.statusBar1.height;
    m_geometry.statusBar1 = {0, pixelsToTwips(m_canvas->height()) - height,
                             static_cast<double>(pixelsToTwips(m_canvas->width())), height};
}

void TyakuForm::applyGeometry()
{
    m_mailList->setGeometry(m_geometry.mailList.toPixels());
    m_text7->setGeometry(m_geometry.text7.toPixels());
    m_text8->setGeometry(m_geometry.text8.toPixels());
    m_text9->setGeometry(m_geometry.text9.toPixels());
    m_rtfEd->setGeometry(m_geometry.rtfEd.toPixels());
    m_picture1->setGeometry(m_geometry.picture1.toPixels());
    m_toolBar->setGeometry(0, 0, m_picture1->width(), m_picture1->height());
    m_statusBar1->setGeometry(m_geometry.statusBar1.toPixels());
    m_command1->setGeometry(m_geometry.command1.toPixels());
    m_text6->setGeometry(m_geometry.text6.toPixels());
    m_command1->raise();
    m_text6->raise();
    m_text4->raise();
}

// The filter bar takes its height from the canvas: laid out for a window shorter by the
// bar, the body and the copy row end above the canvas's bottom, never under it.
OuterSize TyakuForm::outerSize() const
{
    const QRect frame = frameGeometry();
    const auto *filterBar = findChild<FilterBar *>();
    const int barHeight =
        filterBar && filterBar->isVisibleTo(this) ? filterBar->sizeHint().height() : 0;
    return {static_cast<double>(pixelsToTwips(frame.width())),
            static_cast<double>(pixelsToTwips(frame.height() - barHeight)), isMaximized()};
}

} // namespace orv
