#pragma once
// Time as the open-catalogue step sees it: the service's request pacing and
// the step's time limit wait on it, and tests replace it.
#include <chrono>
#include <thread>

namespace velfetch::opencatalog {

class Clock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    virtual time_point now() = 0;
    virtual void sleepUntil(time_point when) = 0;
};

class SystemClock final : public Clock {
public:
    time_point now() override { return std::chrono::steady_clock::now(); }
    void sleepUntil(time_point when) override { std::this_thread::sleep_until(when); }
};

} // namespace velfetch::opencatalog
