#pragma once

// One whole receive run of the program, as the Receive label starts it, timed.

#include "support/MailBench.h"

#include <memory>

namespace orv {
class MainForm;
namespace test {
class TestApp;
}
} // namespace orv

namespace orv::bench {

struct ReceiveTiming {
    double seconds = 0;
    qint64 longestStallMs = 0;
};

// A fresh program folder with the server and the account set, and the main window open on
// it, as a user has it before clicking Receive.
class ReceiveProgram {
public:
    ReceiveProgram(const Pop3TestServer &server, const QString &setting);
    ~ReceiveProgram();

    // One Receive to its end, watching the GUI thread's event loop turn all the while. Ends
    // the benchmark unless all went well and `expected` records stand.
    ReceiveTiming receive(int expected);

private:
    const Pop3TestServer &m_server;
    std::unique_ptr<test::TestApp> m_program;
    std::unique_ptr<MainForm> m_mainForm;
};

// A fresh program, then one Receive.
ReceiveTiming timeReceive(const Pop3TestServer &server, const QString &setting, int expected);

} // namespace orv::bench
