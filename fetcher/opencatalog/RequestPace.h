#pragma once
// How often one service is asked, counted for the whole user session: at
// most `count` requests start in any `window`, whichever fetcher sends them.
// The start times live in a small file of the user's, read and written under
// an advisory lock (flock) that is never held while waiting, so a fetcher
// ended at any moment leaves the lock free; a turn it reserved but never used
// merely passes. Without the file (none named, or it cannot be opened) the
// count holds within this process only.
#include "Clock.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velfetch::opencatalog {

class RequestPace {
public:
    RequestPace(std::string file, std::size_t count, std::chrono::milliseconds window);

    // Reserves the earliest start at or after `earliest` (and `now`) that
    // keeps the count, and returns it; the caller waits until then. Nothing,
    // and nothing reserved, when that start is at or past `end`.
    std::optional<Clock::time_point> Reserve(Clock::time_point now, Clock::time_point earliest,
                                             Clock::time_point end);

    // The request reserved at `start` ended at `finished`: its window is
    // counted from its end, as a service counts the requests it has received.
    void Finished(Clock::time_point start, Clock::time_point finished);

private:
    // The ends of the requests counted (the assumed end of one under way), as
    // time_since_epoch in clock ticks, ascending.
    using Starts = std::vector<std::int64_t>;

    template <class Change> void update(Change change);
    Starts read(int fd) const;
    void write(int fd, const Starts& starts) const;

    std::string file_;
    std::size_t count_;
    Clock::duration window_;
    Starts local_; // when there is no file
    std::mutex mutex_;
};

} // namespace velfetch::opencatalog
