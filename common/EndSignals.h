#pragma once
// SIGTERM, SIGINT and SIGHUP end a program at any moment except while a
// hand-off file's temporary file carries a name, so that ending it never
// leaves that name behind. libcurl's resolver threads (and any other thread)
// must never take them: a thread that died by them could cut a rename short.
#include <mutex>

#include <signal.h>

namespace vel {

// Call first in main(), before any thread starts: blocks the ending signals
// in the calling thread, so that every thread started later inherits the
// block, and starts the one thread that waits for them. It ends the process
// by the signal received (as the default action would), once no file is being
// named. A signal ignored when the fetcher started (nohup) stays ignored.
void TakeEndSignalsOnOwnThread();

// While alive, an ending signal waits: it is held by the thread that takes
// them, and blocked in this thread (for programs that never called
// TakeEndSignalsOnOwnThread, such as tests).
class HoldEndSignals {
public:
    HoldEndSignals();
    ~HoldEndSignals();
    HoldEndSignals(const HoldEndSignals&) = delete;
    HoldEndSignals& operator=(const HoldEndSignals&) = delete;

private:
    std::unique_lock<std::mutex> naming_;
    sigset_t old_;
};

} // namespace vel
