#pragma once

#include "store/MailRecord.h"
#include "support/TestApp.h"
#include "ui/AppState.h"
#include "viewer/TyakuForm.h"

#include <QAbstractItemView>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// Readable failure messages for texts.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &texts, std::ostream *out)
{
    *out << '[' << texts.join(QStringLiteral("|")).toStdString() << ']';
}

namespace orv::test {

inline const QString kReceivedStore = QStringLiteral("\\★MAilData\\krvdata2.data");
inline const QString kSentStore = QStringLiteral("\\★MAilData\\krvdata5.data");
inline const QString kReceivedTemporary = QStringLiteral("\\★MAilData\\KRVDATA2.TMP");

MailRecord mailRecord(const QString &subject, const QString &address, const QString &date,
                      const QString &body);

// The bytes of a store holding `records`, each as Append writes it.
QByteArray storeBytes(const std::vector<MailRecord> &records);

// A record whose subject, address, date and body name its number: "件名3", "from3@example.jp"...
MailRecord numberedRecord(int number);
std::vector<MailRecord> numberedRecords(int count);

// The viewer on a fresh program; every scripted answer must be used by the end of a test.
class ViewerTest : public ::testing::Test {
protected:
    void TearDown() override;

    App &app() { return *t.app; }
    AppState &state() { return t.app->state(); }
    TyakuForm &form() { return *t.app->forms().get<TyakuForm>(); }

    template <typename Widget> Widget *control(const char *name)
    {
        auto *widget = form().findChild<Widget *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char *lineEdit);
    QString body(); // rtfEd with CR LF line ends
    QAbstractItemView *list();
    int rowCount();
    QString cell(int row, int column);
    QStringList messagesShown() const;

    void writeStore(const QString &store, const std::vector<MailRecord> &records,
                    const QByteArray &tail = {});
    void open(ViewMode mode);
    void closeForm();       // closes the window and waits until it is unloaded
    void clickRow(int row); // 0-based
    void clickBelowRows();
    void click(const char *button);
    void hover(QWidget *widget);
    void hover(const char *name) { hover(control<QWidget>(name)); }

    TestApp t;
};

} // namespace orv::test
