#pragma once

#include "composer/AttachmentPanel.h"
#include "composer/RecipientPanel.h"
#include "composer/WriteForm.h"
#include "shell/MainForm.h"
#include "store/AddressStore.h"
#include "support/TestApp.h"
#include "support/Widgets.h"
#include "ui/TypingLimitedEdit.h"

#include <QDir>
#include <QListWidget>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace orv::test {

inline std::string text(const QString &value)
{
    return value.toStdString();
}

// A compose window on a fresh program folder, shown as the main window's New shows it.
class ComposeFixture : public ::testing::Test {
protected:
    explicit ComposeFixture(std::unique_ptr<MailLibrary> mail = nullptr)
        : m_test(true, std::move(mail))
    {
        MainForm::bindWindowRoles(app().forms());
    }

    App &app() { return *m_test.app; }
    TestApp &fixture() { return m_test; }

    WriteForm *open()
    {
        m_form = app().forms().show<WriteForm>();
        return m_form;
    }
    WriteForm *form() const { return m_form; }
    bool isOpen() const { return !m_form.isNull(); }

    template <typename T> T *control(const char16_t *name)
    {
        return test::control<T>(m_form, QString::fromUtf16(name));
    }
    void click(const char16_t *button)
    {
        QTest::mouseClick(control<QAbstractButton>(button), Qt::LeftButton);
    }

    void addToAddressBook(const QString &name, const QString &address)
    {
        ASSERT_TRUE(AddressStore(app().appDir()).Append(name, address).ok());
    }

    // Deletes entry `number` (from 1) of the address book, as its window does.
    void deleteFromAddressBook(int number)
    {
        AddressStore store(app().appDir());
        AddressRecord record;
        ASSERT_TRUE(store.Read(number, record).ok());
        ASSERT_TRUE(store.MarkDeleted(number, record).ok());
        ASSERT_TRUE(store.Compact().ok());
    }

    // Closes the window; `answer` goes to the question about unsent text, when one comes.
    void closeAnswering(QMessageBox::StandardButton answer)
    {
        m_test.messageBoxes->answer(answer);
        m_form->close();
    }

    // A path in the build's screenshot folder, for a person to look at after a test run.
    static QString screenshot(const QString &name)
    {
        const QString folder =
            QString::fromUtf8(ORVAINE_PROGRAM_DIR) + QStringLiteral("/../screenshots");
        QDir().mkpath(folder);
        return folder + u'/' + name;
    }

    std::vector<QString> boxTexts() const
    {
        std::vector<QString> texts;
        for (const MessageBoxRequest &box : m_test.messageBoxes->shown)
            texts.push_back(box.title + QStringLiteral(": ") + box.text);
        return texts;
    }

private:
    TestApp m_test;
    QPointer<WriteForm> m_form;
};

} // namespace orv::test
