#include "support/TestApp.h"

namespace orv::test {

namespace {

template <typename Fake, typename Seam> Fake *install(std::unique_ptr<Seam> &slot)
{
    auto fake = std::make_unique<Fake>();
    Fake *raw = fake.get();
    slot = std::move(fake);
    return raw;
}

} // namespace

TestApp::TestApp(bool withInstallationTree, std::unique_ptr<MailLibrary> mail)
    : folder(withInstallationTree)
{
    Services services;
    messageBoxes = install<ScriptedMessageBoxes>(services.messageBoxes);
    fileDialogs = install<ScriptedFileDialogs>(services.fileDialogs);
    printDialogs = install<ScriptedPrintDialogs>(services.printDialogs);
    tune = install<FakeTune>(services.tune);
    browser = install<RecordingBrowser>(services.browser);
    clock = install<FixedClock>(services.clock);
    random = install<ScriptedRandom>(services.random);
    services.mail = mail ? std::move(mail) : std::make_unique<UnreachableMailLibrary>();
    app = std::make_unique<App>(folder.appDir(), std::move(services));
}

} // namespace orv::test
