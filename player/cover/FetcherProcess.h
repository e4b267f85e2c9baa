#pragma once
// The cover fetcher as a child process: started without a shell, polled
// without blocking, always reaped. One child at a time.
#include <sys/types.h>

#include <chrono>
#include <string>

namespace velplay {

class FetcherProcess {
public:
    FetcherProcess() = default;
    // A child still running is left alone: closing the player must not stop a
    // lookup under way. The system reaps it once the player has ended.
    ~FetcherProcess() = default;
    FetcherProcess(const FetcherProcess&) = delete;
    FetcherProcess& operator=(const FetcherProcess&) = delete;

    // Ends and reaps an earlier child that still runs, then starts `program`
    // with `argument` as its one argument. Returns 0, or the errno of the failed
    // start (ENOENT when the program is missing).
    int start(const std::string& program, const std::string& argument);

    // Non-blocking. True while the child runs; once it has ended it is reaped
    // and this answers false (also when no child was ever started).
    bool stillActive();

    // Ends the child (SIGTERM, then SIGKILL after kGraceTime) and reaps it.
    // No-op without a child.
    void end();

    static constexpr std::chrono::milliseconds kGraceTime{500};

    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = 0;
};

} // namespace velplay
