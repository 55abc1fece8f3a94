#pragma once

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace orv {

class AddressListView;
class App;
class Status;

// The address book window: lists the address book, registers, shows and deletes entries
// and builds the name<address> display form. It is the only writer of the address book.
class FriendForm : public QWidget {
    Q_OBJECT
public:
    explicit FriendForm(App &app);

    QLineEdit *Text4() const { return m_text4; }
    QLineEdit *Text2() const { return m_text2; }
    QLineEdit *Text50() const { return m_text50; }
    QLineEdit *Text3() const { return m_text3; }
    QLabel *Label7() const { return m_label7; }
    AddressListView *MailListView() const { return m_mailListView; }

    // Command2: the list again from the store.
    void ReloadList();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void createControls();
    void createPictures();
    void nameControlsForScreenReaders();
    void connectCommands();
    void connectHelpTexts();
    void addListColumns();

    void Register();
    void InsertBusinessCard();
    void ShowPressedEntry();
    void DeleteSelected();
    void PasteAddress();

    bool readEntry(int number, QString &name, QString &address);
    void tell(const QString &text);
    void showFull(const QString &field, int limit);
    void fail(const Status &status);
    void showHelp(const QString &text);

    App &m_app;
    QLabel *m_image1 = nullptr;
    QLineEdit *m_text4 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QLineEdit *m_text50 = nullptr;
    QLineEdit *m_text3 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command4 = nullptr;
    QPushButton *m_command38 = nullptr;
    std::array<QLabel *, 4> m_label1{};
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    AddressListView *m_mailListView = nullptr;
    QPlainTextEdit *m_text5 = nullptr;
    QWidget *m_picture1 = nullptr;
    QLabel *m_label7 = nullptr;
    // Typing went past the address box's limit, so the address in it is cut.
    bool m_addressCut = false;
};

// Opens the address book (or brings it to the front) with `address` in its address box,
// whole: the viewer hands a message's sender over this way.
void OpenAddressBookWith(App &app, const QString &address);

} // namespace orv
