#pragma once

#include "addressbook/AddressListView.h"
#include "addressbook/FriendForm.h"
#include "store/AddressRecord.h"
#include "support/TestApp.h"
#include "support/Widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace orv::test {

inline const QString kAddressStore = QStringLiteral("\\★MAilData\\Krvdata20.data");

using Entry = std::pair<QString, QString>; // name, address

inline QByteArray addressStoreBytes(const std::vector<Entry> &entries)
{
    QByteArray bytes;
    for (const auto &[name, address] : entries) {
        AddressRecord record;
        record.setName(name);
        record.setAddress(address);
        bytes.append(record.data(), AddressRecord::kSize);
    }
    return bytes;
}

// The address book window on a fresh program; every scripted answer must be used.
class AddressBookTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_TRUE(t.messageBoxes->answers.empty()) << "unused message box answers";
    }

    FriendForm &form() { return *t.app->forms().get<FriendForm>(); }
    void writeStore(const std::vector<Entry> &entries)
    {
        t.folder.writeBytes(kAddressStore, addressStoreBytes(entries));
    }
    QByteArray storeBytes() const { return t.folder.readBytes(kAddressStore); }

    QLineEdit *box(const char *name) { return control<QLineEdit>(&form(), QLatin1String(name)); }
    QString text(const char *name) { return box(name)->text(); }
    QString status() { return form().Label7()->text(); }
    void click(const char *name) { control<QPushButton>(&form(), QLatin1String(name))->click(); }

    AddressListView *list() { return form().MailListView(); }
    int rowCount() { return list()->topLevelItemCount(); }
    QString cell(int row, int column) { return list()->topLevelItem(row)->text(column); }
    void pressRow(int row) // 0-based
    {
        const QRect place = list()->visualItemRect(list()->topLevelItem(row));
        ASSERT_TRUE(place.isValid()) << "row " << row << " is not shown";
        QTest::mousePress(list()->viewport(), Qt::LeftButton, {}, place.center());
        QTest::mouseRelease(list()->viewport(), Qt::LeftButton, {}, place.center());
    }

    QStringList messagesShown() const
    {
        QStringList texts;
        for (const MessageBoxRequest &request : t.messageBoxes->shown)
            texts << request.text;
        return texts;
    }

    TestApp t;
};

} // namespace orv::test
