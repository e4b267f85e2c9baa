#include "RequestPace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace velfetch::opencatalog {
namespace {

// One start per line, zero-padded to a fixed width, so that the file always
// has the same size and one write replaces it whole.
constexpr std::size_t kLine = 21;

// A start further ahead than any lookup lasts is no turn of this session: a
// damaged file, or one left from before the machine was restarted.
constexpr auto kFurthest = std::chrono::minutes(5);

// A request under way counts as ending this long after its start until its
// end is known: the connection set-ups of two fetchers differ by less, so
// their requests still arrive a window apart.
constexpr auto kUnderWay = std::chrono::milliseconds(100);

class Locked {
public:
    explicit Locked(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~Locked() {
        if (fd_ >= 0) close(fd_); // releases the lock
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

RequestPace::RequestPace(std::string file, std::size_t count, std::chrono::milliseconds window)
    : file_(std::move(file)), count_(std::max<std::size_t>(1, count)), window_(window) {}

RequestPace::Starts RequestPace::read(int fd) const {
    std::string text(count_ * kLine, '\0');
    const ssize_t n = pread(fd, text.data(), text.size(), 0);
    Starts starts;
    if (n != ssize_t(text.size())) return starts; // new, or not ours: no turns known
    for (std::size_t at = 0; at < text.size(); at += kLine) {
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + at + kLine - 1, value);
        if (error != std::errc() || end != text.data() + at + kLine - 1 || text[at + kLine - 1] != '\n') return {};
        if (value > 0) starts.push_back(value);
    }
    return starts;
}

void RequestPace::write(int fd, const Starts& starts) const {
    std::string text;
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

template <class Change> void RequestPace::update(Change change) {
    std::lock_guard guard(mutex_);
    if (!file_.empty()) {
        Locked file(file_);
        if (file.fd() >= 0) {
            Starts starts = read(file.fd());
            change(starts);
            write(file.fd(), starts);
            return;
        }
    }
    change(local_);
}

std::optional<Clock::time_point> RequestPace::Reserve(Clock::time_point now, Clock::time_point earliest,
                                                      Clock::time_point end) {
    std::optional<Clock::time_point> start;
    update([&](Starts& starts) {
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
    });
    return start;
}

void RequestPace::Finished(Clock::time_point start, Clock::time_point finished) {
    const std::int64_t from = (start + kUnderWay).time_since_epoch().count();
    const std::int64_t to = std::max(finished, start).time_since_epoch().count();
    update([&](Starts& starts) {
        const auto it = std::find(starts.begin(), starts.end(), from);
        if (it == starts.end()) return;
        *it = to;
        std::sort(starts.begin(), starts.end());
    });
}

} // namespace velfetch::opencatalog
