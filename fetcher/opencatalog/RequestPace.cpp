#include "RequestPace.h"

#include "FileLock.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>

namespace velfetch::opencatalog {
namespace {

// The file: "boot <id>\n", then one start per line, zero-padded to a fixed
// width, so that the file always has the same size and one write replaces it
// whole.
constexpr std::size_t kIdLength = 36; // a boot id is a UUID
constexpr std::size_t kHeader = 5 + kIdLength + 1;
constexpr std::size_t kLine = 21;

// A start further ahead than any lookup lasts is no turn of this session: a
// damaged file, or one of a clock that was set.
constexpr auto kFurthest = std::chrono::minutes(5);

// A request under way counts as ending this long after its start until its
// end is known: the connection set-ups of two fetchers differ by less, so
// their requests still arrive a window apart.
constexpr auto kUnderWay = std::chrono::milliseconds(100);

// How long the end of a request waits for the lock; past it, the end is not
// recorded and its start counts as the turn.
constexpr auto kFinishPatience = std::chrono::seconds(1);

// The header of this boot. Without the kernel's boot id every boot has the
// same one, and old times go by kFurthest alone.
const std::string& header() {
    static const std::string text = [] {
        std::string id;
        std::getline(std::ifstream("/proc/sys/kernel/random/boot_id"), id);
        id.resize(kIdLength, '-');
        return "boot " + id + "\n";
    }();
    return text;
}

} // namespace

RequestPace::RequestPace(std::size_t count, std::chrono::milliseconds window)
    : count_(std::max<std::size_t>(1, count)), window_(window) {}

RequestPace::RequestPace(const vel::Folder& folder, std::string name, std::size_t count,
                         std::chrono::milliseconds window)
    : folder_(&folder), name_(std::move(name)), count_(std::max<std::size_t>(1, count)), window_(window) {}

RequestPace::Starts RequestPace::read(int fd) const {
    std::string text(kHeader + count_ * kLine, '\0');
    const ssize_t n = pread(fd, text.data(), text.size(), 0);
    Starts starts;
    // New, damaged, or of another boot: no turns known.
    if (n != ssize_t(text.size()) || text.compare(0, kHeader, header()) != 0) return starts;
    for (std::size_t at = kHeader; at < text.size(); at += kLine) {
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + at + kLine - 1, value);
        if (error != std::errc() || end != text.data() + at + kLine - 1 || text[at + kLine - 1] != '\n') return {};
        if (value > 0) starts.push_back(value);
    }
    return starts;
}

void RequestPace::write(int fd, const Starts& starts) const {
    std::string text = header();
    char line[kLine + 1];
    for (std::size_t i = 0; i < count_; ++i) {
        std::snprintf(line, sizeof line, "%020lld\n", static_cast<long long>(i < starts.size() ? starts[i] : 0));
        text.append(line, kLine);
    }
    // A short write leaves a file that reads as no turns: the next reader
    // starts afresh, as it would without the file.
    const bool whole = pwrite(fd, text.data(), text.size(), 0) == ssize_t(text.size());
    (void)whole;
}

template <class Change>
bool RequestPace::update(Change change, std::chrono::steady_clock::time_point until, std::stop_token stop) {
    std::lock_guard guard(mutex_);
    if (folder_) {
        FileLock file(*folder_, name_, until, std::move(stop));
        if (file.state() == FileLock::State::NotInTime) return false;
        if (file.state() == FileLock::State::Locked) {
            Starts starts = read(file.fd());
            change(starts);
            write(file.fd(), starts);
            return true;
        }
    }
    change(local_);
    return true;
}

std::optional<Clock::time_point> RequestPace::Reserve(Clock::time_point now, Clock::time_point earliest,
                                                      Clock::time_point end, std::stop_token stop) {
    std::optional<Clock::time_point> start;
    const auto change = [&](Starts& starts) {
        const auto ticks = [](Clock::time_point t) { return std::int64_t(t.time_since_epoch().count()); };
        std::erase_if(starts, [&](std::int64_t t) {
            return t <= ticks(now - window_) || t > ticks(now + kFurthest);
        });
        std::sort(starts.begin(), starts.end());
        Clock::time_point at = std::max(now, earliest);
        if (starts.size() >= count_)
            at = std::max(at, Clock::time_point(Clock::duration(starts[starts.size() - count_])) + window_);
        if (at >= end) return;
        start = at;
        starts.push_back(ticks(at + kUnderWay));
        std::sort(starts.begin(), starts.end());
        if (starts.size() > count_) starts.erase(starts.begin(), starts.end() - std::ptrdiff_t(count_));
    };
    // The lock is waited for no longer than the lookup lasts (`end` is on the
    // lookup's clock, the wait on the real one).
    const auto until = std::chrono::steady_clock::now() + std::max(end - now, Clock::duration::zero());
    if (!update(change, until, std::move(stop))) return std::nullopt;
    return start;
}

void RequestPace::Finished(Clock::time_point start, Clock::time_point finished) {
    const std::int64_t from = (start + kUnderWay).time_since_epoch().count();
    const std::int64_t to = std::max(finished, start).time_since_epoch().count();
    const auto change = [&](Starts& starts) {
        const auto it = std::find(starts.begin(), starts.end(), from);
        if (it == starts.end()) return;
        *it = to;
        std::sort(starts.begin(), starts.end());
    };
    update(change, std::chrono::steady_clock::now() + kFinishPatience, {});
}

} // namespace velfetch::opencatalog
