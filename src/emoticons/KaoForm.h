#pragma once

#include "emoticons/EmoticonPages.h"
#include "ui/WindowRoles.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QTabWidget;

namespace orv {

class App;

// The emoticon palette: twelve editable pages of text material, each backed by a file,
// from which a selection goes into the compose window's body or onto the favourites page.
// The pages are saved when the palette closes, and also when the program ends with the
// palette still open.
class KaoForm : public QWidget, public EmoticonPaletteRole {
    Q_OBJECT
public:
    explicit KaoForm(App &app);
    ~KaoForm() override;

    QTabWidget *SSTab1() const { return m_ssTab1; }
    QPlainTextEdit *box(int page) const { return m_boxes[page]; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createTabRows();
    QWidget *createPage(int page);
    void createFooter();
    void setKeyboardOrder();
    void loadPages();

    void Insert(int page);
    void Add(int page);
    void AddToFavourites(int page);

    void savePages(QWidget *messageParent);

    App &m_app;
    QTabWidget *m_ssTab1 = nullptr;
    QButtonGroup *m_tabButtons = nullptr;
    std::array<QPlainTextEdit *, kEmoticonPageCount> m_boxes{};
    // What each box held after loading; a box that still holds it is not written back.
    std::array<QString, kEmoticonPageCount> m_loadedText;
    // Pages whose file exists but could not be read; they are never written.
    std::array<bool, kEmoticonPageCount> m_unreadable{};
    bool m_saved = false;
};

} // namespace orv
