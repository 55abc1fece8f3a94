#include "viewer/ViewerFixture.h"

#include "viewer/EditorCommands.h"
#include "viewer/HistoryView.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextEdit>

namespace orv::test {

MailRecord mailRecord(const QString &subject, const QString &address, const QString &date,
                      const QString &body)
{
    MailRecord record;
    record.setSubject(subject);
    record.setAddress(address);
    record.setDate(date);
    record.setBody(body);
    return record;
}

QByteArray storeBytes(const std::vector<MailRecord> &records)
{
    QByteArray bytes;
    for (const MailRecord &record : records)
        bytes.append(record.data(), MailRecord::kSize);
    return bytes;
}

MailRecord numberedRecord(int number)
{
    const QString n = QString::number(number);
    return mailRecord(QStringLiteral("件名") + n,
                      QStringLiteral("from") + n + QStringLiteral("@example.jp"),
                      QStringLiteral("2026/12/0") + n, QStringLiteral("本文") + n);
}

std::vector<MailRecord> numberedRecords(int count)
{
    std::vector<MailRecord> records;
    for (int n = 1; n <= count; ++n)
        records.push_back(numberedRecord(n));
    return records;
}

void ViewerTest::TearDown()
{
    EXPECT_TRUE(t.messageBoxes->answers.empty()) << "unused message box answers";
    EXPECT_TRUE(t.fileDialogs->openAnswers.empty()) << "unused open dialog answers";
    EXPECT_TRUE(t.fileDialogs->saveAnswers.empty()) << "unused save dialog answers";
    EXPECT_TRUE(t.printDialogs->answers.empty()) << "unused print dialog answers";
}

QString ViewerTest::text(const char *lineEdit)
{
    return control<QLineEdit>(lineEdit)->text();
}

QString ViewerTest::body()
{
    return editorText(*form().rtfEd());
}

QAbstractItemView *ViewerTest::list()
{
    return control<QAbstractItemView>("MailListView");
}

int ViewerTest::rowCount()
{
    return list()->model()->rowCount();
}

QString ViewerTest::cell(int row, int column)
{
    return list()->model()->index(row, column).data().toString();
}

QStringList ViewerTest::messagesShown() const
{
    QStringList texts;
    for (const MessageBoxRequest &request : t.messageBoxes->shown)
        texts << request.text;
    return texts;
}

void ViewerTest::writeStore(const QString &store, const std::vector<MailRecord> &records,
                            const QByteArray &tail)
{
    t.folder.writeBytes(store, storeBytes(records) + tail);
}

void ViewerTest::open(ViewMode mode)
{
    OpenHistoryView(app(), mode);
}

void ViewerTest::closeForm()
{
    form().close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !app().forms().isLoaded<TyakuForm>(); }));
}

void ViewerTest::clickRow(int row)
{
    QAbstractItemView *view = list();
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    ASSERT_TRUE(rect.isValid()) << "row " << row << " is not shown";
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

void ViewerTest::clickBelowRows()
{
    QAbstractItemView *view = list();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      QPoint(5, view->viewport()->height() - 3));
}

void ViewerTest::click(const char *button)
{
    control<QPushButton>(button)->click();
}

void ViewerTest::hover(QWidget *widget)
{
    const QPointF inside(2, 2);
    QMouseEvent move(QEvent::MouseMove, inside, widget->mapToGlobal(inside), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

} // namespace orv::test
