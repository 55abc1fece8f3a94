#pragma once

namespace orv {

class App;
class MainForm;
class ReceiveRun;

// The main window's Receive command: starts a receive run on the saved account and wires
// its signals to the windows (status line, account dialog, progress window with 中止,
// message boxes, and at the end the result label, the tune, the picture and the last
// message in the viewer). The run belongs to the main window and goes when it ends. Gives
// the run, or nullptr while another one is still under way.
ReceiveRun *Receive(App &app, MainForm &mainForm);

} // namespace orv
