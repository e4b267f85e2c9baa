#pragma once
// How often one service is asked, counted for the whole user session: at
// most `count` requests start in any `window`, whichever fetcher sends them.
// The start times live in a small file of the user's private folder, read and
// written under an advisory lock that is never held while waiting for a turn,
// so a fetcher ended at any moment leaves the lock free; a turn it reserved
// but never used merely passes. The times are the steady clock's, which starts
// anew with the machine: the file names the boot they belong to, and times of
// another boot count as none. Without the file (no usable folder, or a name
// there that is no plain file) the count holds within this process only.
#include "Clock.h"
#include "Folder.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace velfetch::opencatalog {

class RequestPace {
public:
    // Within this process only.
    RequestPace(std::size_t count, std::chrono::milliseconds window);
    // Shared through the file `name` of `folder`, which must outlive this.
    RequestPace(const vel::Folder& folder, std::string name, std::size_t count, std::chrono::milliseconds window);

    // Reserves the earliest start at or after `earliest` (and `now`) that
    // keeps the count, and returns it; the caller waits until then. Nothing,
    // and nothing reserved, when that start is at or past `end`, when another
    // fetcher keeps the file locked until `end`, or when `stop` is requested
    // while waiting for the lock.
    std::optional<Clock::time_point> Reserve(Clock::time_point now, Clock::time_point earliest,
                                             Clock::time_point end, std::stop_token stop = {});

    // The request reserved at `start` ended at `finished`: its window is
    // counted from its end, as a service counts the requests it has received.
    void Finished(Clock::time_point start, Clock::time_point finished);

private:
    // The ends of the requests counted (the assumed end of one under way), as
    // time_since_epoch in clock ticks, ascending.
    using Starts = std::vector<std::int64_t>;

    // Applies `change` to the shared starts (or this process's own); false
    // when the shared file could not be locked by `until`.
    template <class Change>
    bool update(Change change, std::chrono::steady_clock::time_point until, std::stop_token stop);
    Starts read(int fd) const;
    void write(int fd, const Starts& starts) const;

    const vel::Folder* folder_ = nullptr;
    std::string name_;
    std::size_t count_;
    Clock::duration window_;
    Starts local_; // when there is no file
    std::mutex mutex_;
};

} // namespace velfetch::opencatalog
