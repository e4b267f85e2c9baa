#include "FileLock.h"

#include "Clock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace velfetch::opencatalog {
namespace {

// Holders keep the lock for a read and a write of a few bytes: a short first
// pause, growing, finds it free without spinning.
constexpr auto kFirstPause = std::chrono::milliseconds(1);
constexpr auto kLongestPause = std::chrono::milliseconds(32);

} // namespace

FileLock::FileLock(const vel::Folder& folder, const std::string& name, std::chrono::steady_clock::time_point until,
                   std::stop_token stop) {
    vel::UniqueFd file = folder.open(name, O_RDWR | O_CREAT | O_NONBLOCK, 0600);
    struct stat st {};
    if (!file || fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    // Other fetchers hold the lock: the wait is on the real clock.
    SystemClock clock;
    for (Clock::duration pause = kFirstPause;; pause = std::min<Clock::duration>(pause * 2, kLongestPause)) {
        if (flock(file.get(), LOCK_EX | LOCK_NB) == 0) {
            file_ = std::move(file);
            state_ = State::Locked;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        const auto now = clock.now();
        if (stop.stop_requested() || now >= until) {
            state_ = State::NotInTime;
            return;
        }
        clock.waitUntil(std::min(until, now + pause), stop);
    }
}

} // namespace velfetch::opencatalog
