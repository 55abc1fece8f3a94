#include "support/Fakes.h"
#include "transport/MailLibrary.h"
#include "transport/MailLibraryFactory.h"
#include "transport/MailModule.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

// A mail module whose libraries record their calls, counting the libraries it makes.
struct RecordingModule {
    static inline int made = 0;
    static inline test::UnreachableMailLibrary *last = nullptr;

    static std::unique_ptr<MailLibrary> create(MailModule::Credentials)
    {
        ++made;
        auto library = std::make_unique<test::UnreachableMailLibrary>();
        last = library.get();
        return library;
    }

    static constexpr MailModule table{MailModule::kVersion, &create, nullptr};
};

// Puts `module` in place of the linked one for one test.
class ModuleInPlace {
public:
    explicit ModuleInPlace(const MailModule *module) { useLinkedMailModule(module); }
    ~ModuleInPlace() { useLinkedMailModule(&mailModuleTable()); }
};

// A stand-in over the recording module, after start-up's two calls.
class LateMailLibraryTest : public ::testing::Test {
protected:
    LateMailLibraryTest()
    {
        RecordingModule::made = 0;
        mail->NMailInitializeWinSock();
        mail->NMailSetOption(1, 8192);
    }

    const ModuleInPlace recording{&RecordingModule::table};
    const std::unique_ptr<MailLibrary> mail = createMailLibrary(nullptr);
};

TEST_F(LateMailLibraryTest, StartUpAndShutdownLeaveTheModuleUnloaded)
{
    mail->NMailAttachmentFileClose();
    mail->NMailPop3Abort(1);
    EXPECT_EQ(mail->NMailGetMessage(), QString());
    mail->NMailEndWinSock();
    EXPECT_EQ(RecordingModule::made, 0);
}

TEST_F(LateMailLibraryTest, TheFirstCallForAServerLoadsTheModuleWithWhatStartUpSet)
{
    EXPECT_EQ(mail->NMailPop3Connect(QStringLiteral("pop.example.jp")), nmail::kFailed);
    ASSERT_EQ(RecordingModule::made, 1);
    EXPECT_EQ(mail->NMailGetMessage(), QStringLiteral("サーバーに接続できません。"));
    mail->NMailPop3Connect(QStringLiteral("pop.example.jp"));
    mail->NMailEndWinSock();
    EXPECT_EQ(RecordingModule::made, 1);
    EXPECT_EQ(RecordingModule::last->calls,
              (QStringList{QStringLiteral("NMailInitializeWinSock"),
                           QStringLiteral("NMailSetOption 1 8192"),
                           QStringLiteral("NMailPop3Connect pop.example.jp"),
                           QStringLiteral("NMailPop3Connect pop.example.jp"),
                           QStringLiteral("NMailEndWinSock")}));
}

// A test binary has no module beside it: the loading fails as it fails for a program whose
// module is missing.
TEST(LateMailLibrary, WithoutTheModuleEveryCallFailsAndSaysWhy)
{
    const ModuleInPlace fromDisk(nullptr);
    QString reason;
    EXPECT_EQ(mailModule(&reason), nullptr);
    EXPECT_TRUE(reason.contains(QStringLiteral("orvaine-mail.so"))) << reason.toStdString();
    EXPECT_TRUE(reason.contains(QStringLiteral("読み込めませんでした")));

    const std::unique_ptr<MailLibrary> mail = createMailLibrary(nullptr);
    mail->NMailInitializeWinSock();
    EXPECT_EQ(mail->NMailPop3Connect(QStringLiteral("pop.example.jp")), nmail::kFailed);
    EXPECT_EQ(mail->NMailGetMessage(), reason);
    EXPECT_EQ(mail->NMailSmtpSendMail(QStringLiteral("smtp.example.jp"),
                                      QStringLiteral("to@example.jp"), QString(), QString(),
                                      QStringLiteral("me@example.jp"), QStringLiteral("件名"),
                                      QStringLiteral("本文"), QString(), QString(), 0),
              nmail::kSendNotDelivered);
    MailHeaderFields fields;
    QString body;
    EXPECT_EQ(mail->NMailAttachmentFileFirst(fields, body, QString(), QString(), QString()),
              nmail::kAttachmentNotWritten);
    EXPECT_FALSE(mail->NMailKeepsFetchedMessage());
    mail->NMailEndWinSock();
}

} // namespace
} // namespace orv
