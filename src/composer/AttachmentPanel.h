#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace orv {

class App;

// The attachment list as it is sent: full paths joined by "," with nothing between.
QString withAttachment(const QString &attachmentList, const QString &path);

// A path with a "," in it could not be told apart from two paths in the list.
bool isAttachablePath(const QString &path);

// The attachment controls the compose and the reply window share: pick a first file, add
// more, see them in a list, drop them all. The controls are children of the window and
// carry their given names; the window places them.
class AttachmentPanel : public QObject {
    Q_OBJECT
public:
    // Whether 追加 starts enabled (the reply window) or waits for a first file.
    enum class AddButton { StartsDisabled, StartsEnabled };

    AttachmentPanel(App &app, QWidget *window, const QString &attachCaption, AddButton addButton);

    QPushButton *AttachCommand() const { return m_attachCommand; }
    QLineEdit *AttachText() const { return m_attachText; }
    QPushButton *Command9() const { return m_command9; }
    QPushButton *Command10() const { return m_command10; }
    QListWidget *List2() const { return m_list2; }

    QString attachmentList() const;

    // 取り消し: no attachment, the list emptied and hidden, 追加 and 取り消し disabled, 添付
    // enabled again.
    void dropAll();
    // The first step of a send: the list stays as it is, the controls go back to rest.
    void prepareForSend();
    // A send that did not go leaves the controls as they were before it.
    void restoreAfterFailedSend();

private:
    // Which controls were enabled and whether the list showed.
    struct ControlState {
        bool attachEnabled = true;
        bool addEnabled = false;
        bool dropEnabled = true;
        bool listShown = false;
    };

    void attachFirst();
    // Whether a first file may take the place of the files attached now; asks when any are.
    bool mayReplaceAttachments();
    void showList();
    void addAnother();
    // The chosen path, or an empty text when the user cancelled or the path was refused.
    QString pickFile();
    void append(const QString &path);

    App &m_app;
    QWidget *m_window;
    QPushButton *m_attachCommand;
    QLineEdit *m_attachText;
    QPushButton *m_command9;
    QPushButton *m_command10;
    QListWidget *m_list2;
    ControlState m_beforeSend;
};

} // namespace orv
