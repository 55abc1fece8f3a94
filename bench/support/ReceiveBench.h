#pragma once

// One whole receive run of the program, as the Receive label starts it, timed.

#include "support/MailBench.h"

namespace orv::bench {

struct ReceiveTiming {
    double seconds = 0;
    qint64 longestStallMs = 0;
};

// A fresh program folder with the server and the account set, then one Receive to its end,
// watching the GUI thread's event loop turn all the while. Ends the benchmark unless all
// went well and `expected` records stand.
ReceiveTiming timeReceive(const Pop3TestServer &server, const QString &setting, int expected);

} // namespace orv::bench
