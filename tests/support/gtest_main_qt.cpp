#include "transport/MailModule.h"
#include "ui/PrintModule.h"
#include "ui/ProgramFont.h"

#include <QApplication>

#include <gtest/gtest.h>

// Every test binary runs with a QApplication so that windows, the clipboard and sockets
// work; the offscreen platform needs no display. The program's modules are linked in, not loaded.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    orv::useLinkedMailModule(&orv::mailModuleTable());
    orv::useLinkedPrintModule(&orv::printModuleTable());
    orv::useProgramFont(); // the windows are laid out and drawn as the program draws them
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
