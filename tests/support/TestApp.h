#pragma once

#include "support/Fakes.h"
#include "support/TempProgramFolder.h"
#include "ui/App.h"

#include <memory>

namespace orv::test {

// A fresh program on a temporary program folder, with every seam scripted. The doubles
// stay reachable through the typed pointers.
class TestApp {
public:
    explicit TestApp(bool withInstallationTree = true, std::unique_ptr<MailLibrary> mail = nullptr);

    TempProgramFolder folder;
    ScriptedMessageBoxes *messageBoxes = nullptr;
    ScriptedFileDialogs *fileDialogs = nullptr;
    ScriptedPrintDialogs *printDialogs = nullptr;
    FakeTune *tune = nullptr;
    RecordingBrowser *browser = nullptr;
    FixedClock *clock = nullptr;
    ScriptedRandom *random = nullptr;
    std::unique_ptr<App> app;
};

} // namespace orv::test
