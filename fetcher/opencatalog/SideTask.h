#pragma once
// Work done alongside the caller: on a thread of its own, or, when the caller
// has no second web client to give it, at the moment its result is wanted.
// The thread never takes the signals that end the fetcher (SIGTERM, SIGINT,
// SIGHUP), also where they were not given to a thread of their own
// (EndSignals.h): one that died by them could cut a hand-off file's rename short.
#include <functional>
#include <stop_token>
#include <thread>

namespace velfetch::opencatalog {

class SideTask {
public:
    SideTask(bool ownThread, std::function<void(std::stop_token)> work);
    ~SideTask(); // stops the work and waits for it
    SideTask(const SideTask&) = delete;
    SideTask& operator=(const SideTask&) = delete;

    // Returns once the work is done (running it here when it has no thread).
    void Finish();
    // Asks the work to end as soon as it can; work not yet begun never begins.
    void Stop();

private:
    std::function<void(std::stop_token)> work_;
    std::stop_source stop_;
    std::jthread thread_;
    bool done_ = false;
};

} // namespace velfetch::opencatalog
