#pragma once

#include "composer/Recipients.h"
#include "core/Status.h"

#include <QFrame>
#include <QListWidget>

#include <vector>

class QFileSystemWatcher;
class QLineEdit;
class QRadioButton;

namespace orv {

class App;

// A list that reports every mouse button pressed over it, after the press has moved the
// selection, so a first click on a name picks that name; Enter and Space pick the current
// name as a click does.
class PickList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

signals:
    void picked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// The compose window's address panel: the names of an address file, their count, and the
// bulk option. Each row keeps the entry it was filled with.
class RecipientPanel : public QFrame {
    Q_OBJECT
public:
    RecipientPanel(App &app, QWidget *parent);

    PickList *List1() const { return m_list1; }
    QLineEdit *Text1() const { return m_text1; }
    QRadioButton *Option1() const { return m_option1; }
    QRadioButton *Option2() const { return m_option2; }

    // Fills the list from the read-only second address file, as the window does at load.
    Status fillFromAddressMaster();
    // Fills the list from the address book, and again whenever the address book changes.
    Status fillFromAddressStore();

    bool isBulk() const;
    // Bulk mode off without choosing 取消: neither option is selected afterwards.
    void clearBulk();
    // White when bulk mode is off or the panel is put away, green after 一括送信.
    void showBulkColour(bool bulk);

    const std::vector<RecipientRow> &rows() const { return m_rows; }

    // Marks the rows whose address did not get the last bulk message, through reloads too;
    // an empty list takes the marks away.
    void markUnsent(const QStringList &addresses);
    static QString unsentMark() { return QStringLiteral("【未送信】"); }
    QList<qint16> RowToRecord() const { return rowToRecord(m_rows); }

signals:
    // The address of the row picked with a mouse button.
    void recipientPicked(const QString &address);
    // 取消 was chosen: the window empties its To field.
    void bulkCancelled();

private:
    void fill(std::vector<AddressRecord> records);
    void pick();
    void watchAddressStore(const QString &path);
    void showNames();

    App &m_app;
    PickList *m_list1;
    QLineEdit *m_text1;
    QFrame *m_frame4;
    QRadioButton *m_option1;
    QRadioButton *m_option2;
    std::vector<RecipientRow> m_rows;
    QFileSystemWatcher *m_addressStoreWatcher = nullptr;
    QStringList m_unsent;
};

} // namespace orv
