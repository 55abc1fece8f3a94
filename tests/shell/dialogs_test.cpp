#include "core/Cp932.h"
#include "shell/IdPassForm.h"
#include "shell/OptionForm.h"
#include "shell/SetForm.h"
#include "support/TestApp.h"
#include "support/Widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::control;

const QString kSettingsFile = QStringLiteral("\\korvel.ini");
const QString kAccountFile = QStringLiteral("\\★MailData\\iniIdPass.ini");

class DialogsTest : public ::testing::Test {
protected:
    template <typename T> T *open() { return fixture.app->forms().show<T>(); }
    void click(QWidget *window, const char *name)
    {
        QTest::mouseClick(control<QPushButton>(window, QString::fromLatin1(name)), Qt::LeftButton);
    }
    QLineEdit *edit(QWidget *window, const char *name)
    {
        return control<QLineEdit>(window, QString::fromLatin1(name));
    }
    QCheckBox *check(QWidget *window, const char *name)
    {
        return control<QCheckBox>(window, QString::fromLatin1(name));
    }

    test::TestApp fixture;
};

TEST_F(DialogsTest, ServerDialogStaysOnTopAndFillsFromMemoryNotTheFile)
{
    fixture.folder.writeBytes(kSettingsFile, "POP3=from.file\r\n");
    fixture.app->state().serverSettings = {QStringLiteral("smtp.mem"), QStringLiteral("pop.mem"),
                                           QStringLiteral("me@mem"), 1};
    OptionForm *dialog = open<OptionForm>();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("サーバー設定"));
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(edit(dialog, "SmtpText")->text(), QStringLiteral("smtp.mem"));
    EXPECT_EQ(edit(dialog, "Pop3Text")->text(), QStringLiteral("pop.mem"));
    EXPECT_EQ(edit(dialog, "MailText")->text(), QStringLiteral("me@mem"));
    EXPECT_TRUE(check(dialog, "ApopCheck")->isChecked());
    EXPECT_EQ(control<QPushButton>(dialog, QStringLiteral("OkCommand"))->text(),
              QStringLiteral("設定"));
    EXPECT_EQ(control<QPushButton>(dialog, QStringLiteral("CancelCommand"))->text(),
              QStringLiteral("中止"));
}

TEST_F(DialogsTest, ServerDialogOkSavesTheSettingsFileWithApopOne)
{
    OptionForm *dialog = open<OptionForm>();
    edit(dialog, "SmtpText")->setText(QStringLiteral("smtp.example.jp"));
    edit(dialog, "Pop3Text")->setText(QStringLiteral("pop.example.jp"));
    edit(dialog, "MailText")->setText(QStringLiteral("taro@example.jp"));
    check(dialog, "ApopCheck")->setChecked(true);
    click(dialog, "OkCommand");

    EXPECT_EQ(
        fixture.folder.readBytes(kSettingsFile),
        QByteArray(
            "SMTP=smtp.example.jp\r\nPOP3=pop.example.jp\r\nMAIL=taro@example.jp\r\nAPOP=1\r\n"));
    EXPECT_EQ(fixture.app->state().serverSettings.pop3Server, QStringLiteral("pop.example.jp"));
    EXPECT_EQ(fixture.app->state().serverSettings.apop, 1);
    EXPECT_FALSE(fixture.app->forms().isLoaded<OptionForm>());
}

TEST_F(DialogsTest, ServerDialogCancelChangesNothing)
{
    fixture.folder.writeBytes(kSettingsFile, "POP3=kept\r\n");
    fixture.app->state().serverSettings.pop3Server = QStringLiteral("kept");
    OptionForm *dialog = open<OptionForm>();
    edit(dialog, "Pop3Text")->setText(QStringLiteral("edited"));
    click(dialog, "CancelCommand");
    EXPECT_EQ(fixture.folder.readBytes(kSettingsFile), QByteArray("POP3=kept\r\n"));
    EXPECT_EQ(fixture.app->state().serverSettings.pop3Server, QStringLiteral("kept"));
    EXPECT_FALSE(fixture.app->forms().isLoaded<OptionForm>());
}

TEST_F(DialogsTest, ServerDialogReportsASettingsFileThatCannotBeWritten)
{
    // A folder in the file's place makes the write fail.
    QDir().mkpath(fixture.folder.path() + QStringLiteral("/korvel.ini"));
    OptionForm *dialog = open<OptionForm>();
    click(dialog, "OkCommand");
    ASSERT_EQ(fixture.messageBoxes->shown.size(), 1u);
    EXPECT_TRUE(fixture.messageBoxes->shown[0].text.contains(QStringLiteral("korvel.ini")));
    EXPECT_EQ(fixture.messageBoxes->shown[0].title, QStringLiteral("OrvaineMail"));
}

TEST_F(DialogsTest, IdPassOkWithSaveBoxWritesAllThreeKeysAndReopensUnchecked)
{
    IdPassForm *dialog = open<IdPassForm>();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ＩＤ，ＰＡＳＳ"));
    EXPECT_EQ(edit(dialog, "PassText")->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(edit(dialog, "PassText")->testAttribute(Qt::WA_InputMethodEnabled));
    edit(dialog, "IdText")->setText(QStringLiteral("taro"));
    edit(dialog, "PassText")->setText(QString::fromUtf8("秘密pass"));
    check(dialog, "Check1")->setChecked(true);
    click(dialog, "OKCommand");

    EXPECT_EQ(fixture.app->state().accountCredentials.userId, QStringLiteral("taro"));
    EXPECT_EQ(fixture.app->state().accountCredentials.password, QString::fromUtf8("秘密pass"));
    EXPECT_EQ(fixture.folder.readBytes(kAccountFile),
              QByteArray("[EXEINI]\r\nNAME=taro\r\nNAME2=") +
                  cp932::encode(QString::fromUtf8("秘密pass")) + QByteArray("\r\nNAME3=1\r\n"));
    EXPECT_EQ(QFile::permissions(fixture.folder.file(kAccountFile)) &
                  (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              0);

    IdPassForm *again = open<IdPassForm>();
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(edit(again, "IdText")->text(), QStringLiteral("taro"));
    EXPECT_EQ(edit(again, "PassText")->text(), QString::fromUtf8("秘密pass"));
    EXPECT_FALSE(check(again, "Check1")->isChecked());
}

TEST_F(DialogsTest, IdPassMasksThePasswordWithAsterisks)
{
    IdPassForm *dialog = open<IdPassForm>();
    QLineEdit *password = edit(dialog, "PassText");
    password->clear();
    QTest::keyClicks(password, QStringLiteral("pass1"));
    EXPECT_EQ(password->text(), QStringLiteral("pass1"));
    EXPECT_EQ(password->displayText(), QStringLiteral("*****"));
}

TEST_F(DialogsTest, IdPassOkWithoutSaveBoxKeepsTheSavedAccountAndSetsNameThreeToZero)
{
    fixture.folder.writeBytes(kAccountFile,
                              "[EXEINI]\r\nNAME=saved\r\nNAME2=savedpass\r\nNAME3=1\r\n");
    IdPassForm *dialog = open<IdPassForm>();
    edit(dialog, "IdText")->setText(QStringLiteral("typed"));
    edit(dialog, "PassText")->setText(QStringLiteral("typedpass"));
    click(dialog, "OKCommand");
    EXPECT_EQ(fixture.folder.readBytes(kAccountFile),
              QByteArray("[EXEINI]\r\nNAME=saved\r\nNAME2=savedpass\r\nNAME3=0\r\n"));
    EXPECT_EQ(fixture.app->state().accountCredentials.userId, QStringLiteral("typed"));
}

TEST_F(DialogsTest, IdPassCancelChangesNothing)
{
    IdPassForm *dialog = open<IdPassForm>();
    edit(dialog, "IdText")->setText(QStringLiteral("typed"));
    click(dialog, "CancelCommand");
    EXPECT_FALSE(QFile::exists(fixture.folder.file(kAccountFile)));
    EXPECT_TRUE(fixture.app->state().accountCredentials.userId.isEmpty());
    EXPECT_FALSE(fixture.app->forms().isLoaded<IdPassForm>());
}

TEST_F(DialogsTest, SettingsWindowLeadsToBothDialogs)
{
    SetForm *settings = open<SetForm>();
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("設定"));
    click(settings, "Command1");
    EXPECT_TRUE(fixture.app->forms().get<IdPassForm>()->isVisible());
    click(settings, "Command2");
    EXPECT_TRUE(fixture.app->forms().get<OptionForm>()->isVisible());
}

} // namespace
} // namespace orv
