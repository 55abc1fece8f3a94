#pragma once

class QApplication;

namespace orv {

class App;
class MainForm;

// Connects the main window's commands to the windows and runs that carry them out.
void wireMainForm(App &app, MainForm &mainForm);

// Starts the program in the executable's folder and runs it until the main window closes.
int runProgram(QApplication &application);

} // namespace orv
