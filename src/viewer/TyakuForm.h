#pragma once

#include "viewer/ViewerLayout.h"

#include <QMainWindow>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTextEdit;
class QToolBar;

namespace orv {

class App;
class MailListModel;
class MailListView;

// The history viewer: lists a mail history store, shows, deletes, saves and copies its
// messages, and doubles as a small text editor. Its operations live beside it
// (HistoryView, Deletion, QuickSave, EditorCommands); the window holds controls, wiring
// and layout.
class TyakuForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TyakuForm(App &app);

    // The display fields; receiving stages every message in them.
    QLineEdit *Text7() const { return m_text7; }
    QLineEdit *Text8() const { return m_text8; }
    QLineEdit *Text9() const { return m_text9; }
    QTextEdit *rtfEd() const { return m_rtfEd; }

    MailListView *mailListView() const { return m_mailList; }
    MailListModel &listModel() const { return *m_listModel; }
    QLineEdit *Text1() const { return m_text1; }
    QLineEdit *Text2() const { return m_text2; }
    QLineEdit *Text5() const { return m_text5; }
    QLineEdit *Text6() const { return m_text6; }
    QPlainTextEdit *Text4() const { return m_text4; }

    // The record number of the selected row, or 0 when no row is selected.
    int selectedRecordNumber() const;

    void setListBackground(const QColor &colour);

    // Runs the action of a toolbar key; unknown keys do nothing.
    void dispatchToolbarKey(const QString &key);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void createMenus();
    void createToolBar();
    void connectCommands();
    void connectPointerMoves();
    void nameControlsForScreenReaders();
    void addListColumns();
    void loadEditorFile();

    void showHelp(const QString &text);
    void hideHelp();
    void moveCopyControls(const ViewerGeometry &geometry);

    void runResizeLayout();
    void dockStatusBar();
    void applyGeometry();
    OuterSize outerSize() const;

    App &m_app;
    ViewerGeometry m_geometry;
    bool m_shownOnce = false;

    QWidget *m_canvas = nullptr;
    QWidget *m_picture1 = nullptr;
    QToolBar *m_toolBar = nullptr;
    MailListView *m_mailList = nullptr;
    MailListModel *m_listModel = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QPlainTextEdit *m_text4 = nullptr;
    QLineEdit *m_text5 = nullptr;
    QLineEdit *m_text6 = nullptr;
    QLineEdit *m_text7 = nullptr;
    QLineEdit *m_text8 = nullptr;
    QLineEdit *m_text9 = nullptr;
    QTextEdit *m_rtfEd = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label4 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command4 = nullptr;
    QPushButton *m_command5 = nullptr;
    QPushButton *m_command6 = nullptr;
    QStatusBar *m_statusBar1 = nullptr;
};

} // namespace orv
