#pragma once

#include <QObject>
#include <QString>

namespace orv {

class App;
class MainForm;

// One receive run: every message waiting on the POP3 server is fetched, its attachments
// expanded, its record appended to the received store and only then deleted on the
// server; the main window announces the result. A message whose record cannot be stored
// stops the run and stays on the server with every later one.
class ReceiveRun : public QObject {
    Q_OBJECT
public:
    ReceiveRun(App &app, MainForm &mainForm);

    // Runs to the end, with a modal progress window ("i / N") while messages arrive.
    void run();

    // Stops the run after the message in progress; what is stored is deleted on the
    // server, the rest stays there.
    void requestCancel() { m_cancelRequested = true; }

    // How many messages this run stored.
    int received() const { return m_received; }

signals:
    void messageStored(int number, int count);

private:
    enum class Outcome { Continue, Stop };

    int connect();
    void closeSession(int handle);
    bool loadAccount();
    int authenticate(int handle);
    void receiveAll(int handle, int count);
    Outcome receiveOne(int handle, int number);
    QString wholeMessageThroughTemporaryFile(const QString &header, const QString &body, bool *ok);
    void reportAttachmentResult(int result);
    bool storeStagedMessage();
    void announce();
    void showError(const QString &text, const QString &title = QString());

    App &m_app;
    MainForm &m_mainForm;
    bool m_cancelRequested = false;
    int m_received = 0;
};

// The main window's Receive command.
void Receive(App &app, MainForm &mainForm);

} // namespace orv
