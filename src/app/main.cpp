#include "shell/Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    return orv::runProgram(application);
}
