#include "store/Settings.h"

#include "core/Cp932.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

struct SettingsCase {
    const char *name;
    QString fileText;
    ServerSettings expected;
};

ServerSettings settings(QString smtp, QString pop3, QString mail, qint16 apop)
{
    return {std::move(smtp), std::move(pop3), std::move(mail), apop};
}

TEST(SettingsFile, LinesAreReadByTheirFirstFiveCharacters)
{
    const QString longValue(120, u'a');
    const SettingsCase rows[] = {
        {"pop3_then_apop", QStringLiteral("POP3=pop.example.jp\r\nAPOP=1\r\n"),
         settings({}, QStringLiteral("pop.example.jp"), {}, 1)},
        {"apop_then_pop3", QStringLiteral("APOP=1\r\nPOP3=pop.example.jp\r\n"),
         settings({}, QStringLiteral("pop.example.jp"), {}, 1)},
        {"lower_case_key_ignored", QStringLiteral("pop3=lower\r\n"), settings({}, {}, {}, 0)},
        {"apop_letters_give_zero", QStringLiteral("APOP=yes\r\n"), settings({}, {}, {}, 0)},
        {"apop_half_rounds_to_even_down", QStringLiteral("APOP=0.5\r\n"), settings({}, {}, {}, 0)},
        {"apop_half_rounds_to_even_up", QStringLiteral("APOP=1.5\r\n"), settings({}, {}, {}, 2)},
        {"apop_two_and_a_half", QStringLiteral("APOP=2.5\r\n"), settings({}, {}, {}, 2)},
        {"apop_number_then_text", QStringLiteral("APOP=1abc\r\n"), settings({}, {}, {}, 1)},
        {"apop_negative", QStringLiteral("APOP=-1\r\n"), settings({}, {}, {}, -1)},
        {"last_occurrence_wins", QStringLiteral("SMTP=first\r\nSMTP=second\r\n"),
         settings(QStringLiteral("second"), {}, {}, 0)},
        {"blanks_kept", QStringLiteral("MAIL= me@example.jp \r\n"),
         settings({}, {}, QStringLiteral(" me@example.jp "), 0)},
        {"value_cut_to_100", QStringLiteral("SMTP=") + longValue + QStringLiteral("\r\n"),
         settings(longValue.left(100), {}, {}, 0)},
        {"other_lines_ignored", QStringLiteral("[korvel]\r\n#SMTP=x\r\nSMTP\r\n"),
         settings({}, {}, {}, 0)},
        {"no_final_line_end", QStringLiteral("POP3=host"),
         settings({}, QStringLiteral("host"), {}, 0)},
    };
    for (const SettingsCase &row : rows)
        EXPECT_EQ(parseSettings(row.fileText), row.expected) << row.name;
}

TEST(SettingsFile, WritesFourCrLfLinesInCodePage932)
{
    const ServerSettings values =
        settings(QStringLiteral("smtp.example.jp"), QStringLiteral("pop.example.jp"),
                 QString::fromUtf8("山田@example.jp"), 1);
    EXPECT_EQ(formatSettings(values),
              QByteArray("SMTP=smtp.example.jp\r\nPOP3=pop.example.jp\r\nMAIL=") +
                  cp932::encode(QString::fromUtf8("山田")) +
                  QByteArray("@example.jp\r\nAPOP=1\r\n"));
}

TEST(SettingsFile, SaveThenLoadGivesTheSameValues)
{
    test::TempProgramFolder folder;
    const ServerSettings values =
        settings(QStringLiteral("smtps://smtp.example.jp"), QStringLiteral("pop.example.jp:110"),
                 QString::fromUtf8("太郎@example.jp"), 1);
    ASSERT_TRUE(SaveSettings(folder.appDir(), values).ok());
    EXPECT_EQ(LoadSettings(folder.appDir()), values);
}

TEST(SettingsFile, AbsentFileLeavesEverythingEmpty)
{
    test::TempProgramFolder folder(false);
    EXPECT_EQ(LoadSettings(folder.appDir()), ServerSettings());
}

TEST(SettingsFile, SaveFailureIsReported)
{
    test::TempProgramFolder folder(false);
    const AppDir missing(folder.path() + QStringLiteral("/no/such/folder"));
    const Status status = SaveSettings(missing, ServerSettings());
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains(QStringLiteral("korvel.ini")));
}

} // namespace
} // namespace orv
