#pragma once

#include "transport/MailLibrary.h"
#include "ui/Services.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace orv::test {

// Answers message boxes from a script and records every box shown.
class ScriptedMessageBoxes : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget *parent, const MessageBoxRequest &request) override;

    void answer(QMessageBox::StandardButton button) { answers.push_back(button); }

    std::deque<QMessageBox::StandardButton> answers; // unanswered boxes get Ok
    std::vector<MessageBoxRequest> shown;
    // Runs while a box is up, as the user reads it.
    std::function<void(const MessageBoxRequest &)> whileShown;
};

class ScriptedFileDialogs : public FileDialogs {
public:
    QString openFileName(QWidget *parent, const FileDialogRequest &request) override;
    QString saveFileName(QWidget *parent, const FileDialogRequest &request) override;

    std::deque<QString> openAnswers; // a null QString means Cancel
    std::deque<QString> saveAnswers;
    std::vector<FileDialogRequest> requests;
};

class ScriptedPrintDialogs : public PrintDialogs {
public:
    PrintChoice choose(QWidget *parent, QPrinter &printer, bool selectionAvailable) override;

    QString outputPdf;               // the printer prints into this PDF file
    std::deque<PrintChoice> answers; // empty: cancelled
    std::vector<bool> selectionOffered;
};

// Keeps the device semantics of the real tune without sound.
class FakeTune : public TunePlayer {
public:
    bool open(const QString &path) override;
    void play() override;
    void close() override;
    bool isOpen() const override { return m_open; }

    QStringList calls; // "open <path>", "play", "close", in order
    int playsFromStart = 0;

private:
    bool m_open = false;
    bool m_positionAtStart = false;
};

class RecordingBrowser : public Browser {
public:
    void open(const QUrl &url) override { opened.push_back(url); }
    std::vector<QUrl> opened;
};

class FixedClock : public Clock {
public:
    QDateTime now() const override { return time; }
    QDateTime time = QDateTime(QDate(2026, 12, 9), QTime(9, 5, 7));
};

class ScriptedRandom : public RandomSource {
public:
    int bounded(int bound) override;
    std::deque<int> values; // taken modulo the bound; 0 when empty
};

// A mail library that reaches no server: every connection fails. Tests that need a
// server use the real library against the private test servers.
class UnreachableMailLibrary : public MailLibrary {
public:
    void NMailInitializeWinSock() override { calls << QStringLiteral("NMailInitializeWinSock"); }
    void NMailSetOption(int option, int value) override;
    int NMailPop3Connect(const QString &server) override;
    int NMailPop3Authenticate(int, const QString &, const QString &, int) override { return -1; }
    int NMailPop3GetMailStatus(int, int, MailHeaderFields &, int) override { return -1; }
    int NMailPop3GetMailSize(int, int) override { return -1; }
    int NMailPop3GetUidl(int, int, QString &) override { return -1; }
    int NMailPop3GetMail(int, int, MailHeaderFields &, QString &, int, int) override { return -1; }
    int NMailAttachmentFileFirst(MailHeaderFields &, QString &, const QString &, const QString &,
                                 const QString &) override
    {
        return 0;
    }
    void NMailAttachmentFileClose() override {}
    int NMailPop3DeleteMail(int, int) override { return -1; }
    int NMailPop3Close(int) override { return -1; }
    void NMailPop3Abort(int) override {}
    int NMailSmtpSendMail(const std::optional<QString> &, const std::optional<QString> &,
                          const std::optional<QString> &, const std::optional<QString> &,
                          const std::optional<QString> &, const std::optional<QString> &,
                          const std::optional<QString> &, const std::optional<QString> &,
                          const std::optional<QString> &, int) override
    {
        return -1;
    }
    QString NMailGetMessage() override { return QStringLiteral("サーバーに接続できません。"); }
    void NMailEndWinSock() override { calls << QStringLiteral("NMailEndWinSock"); }

    QStringList calls;
};

} // namespace orv::test
