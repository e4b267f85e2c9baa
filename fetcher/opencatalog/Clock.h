#pragma once
// Time as the open-catalogue step sees it: the service's request pacing and
// the step's time limit wait on it, and tests replace it.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace velfetch::opencatalog {

class Clock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    using duration = std::chrono::steady_clock::duration;
    virtual ~Clock() = default;
    virtual time_point now() = 0;
    virtual void sleepUntil(time_point when) = 0;
    // Sleeps until `when` or until `stop` is requested, whichever comes first.
    virtual void waitUntil(time_point when, std::stop_token stop) {
        if (!stop.stop_requested()) sleepUntil(when);
    }
};

class SystemClock final : public Clock {
public:
    time_point now() override { return std::chrono::steady_clock::now(); }
    void sleepUntil(time_point when) override { std::this_thread::sleep_until(when); }
    void waitUntil(time_point when, std::stop_token stop) override {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_until(lock, stop, when, [] { return false; });
    }
};

} // namespace velfetch::opencatalog
