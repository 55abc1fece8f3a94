#pragma once

#include "ui/ClickableLabel.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <array>

namespace orv {

class App;
class Forms;

// The launcher: command labels over a picture, the status line, the clock and the tune.
// Loading it is the program's start-up; closing it ends the program.
class MainForm : public QWidget {
    Q_OBJECT
public:
    explicit MainForm(App &app);

    void Play();
    void Stop();
    // Shows a picture of the program folder in Image2 ("\新着画像\1.jpg " after new mail).
    void showPicture(const QString &programPath);
    void setStatusLine(const QString &text);
    void setResultLabel(const QString &text);
    // Empties the clock box until its next tick, as a receive run leaves it.
    void clearClock();

    // Binds every window role (ui/WindowRoles.h) to the window that plays it.
    static void bindWindowRoles(Forms &forms);

signals:
    // The main window's commands whose windows and runs live elsewhere.
    void receiveRequested();
    void composeRequested();
    void addressBookRequested();
    void receivedHistoryRequested();
    void sentHistoryRequested();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    ClickableLabel *commandLabel(const QString &name, const QString &caption, int leftTwips,
                                 int topTwips, int widthTwips);
    void buildControls();
    void nameControlsForScreenReaders();
    void wireHelpTexts();
    void wireCommands();
    void wireShortcuts();
    void startUp();
    void afterFirstDrawing();
    void tick();

    App &m_app;
    QLabel *m_image2;
    QLabel *m_image1;
    ClickableLabel *m_label8, *m_label9, *m_label10, *m_label11, *m_label6, *m_label7;
    ClickableLabel *m_label13, *m_label14, *m_label4, *m_label5, *m_label1;
    QLabel *m_label12;
    QLabel *m_label2;
    std::array<QLabel *, 2> m_label3;
    QLineEdit *m_text2;
    QTimer *m_timer2;
    bool m_drawnOnce = false;
};

} // namespace orv
