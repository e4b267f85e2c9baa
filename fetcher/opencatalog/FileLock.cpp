#include "FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>

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
    std::mutex mutex;
    std::condition_variable_any wake;
    for (auto pause = std::chrono::steady_clock::duration(kFirstPause);; pause = std::min<std::chrono::steady_clock::duration>(pause * 2, kLongestPause)) {
        if (flock(file.get(), LOCK_EX | LOCK_NB) == 0) {
            file_ = std::move(file);
            state_ = State::Locked;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        const auto now = std::chrono::steady_clock::now();
        if (stop.stop_requested() || now >= until) {
            state_ = State::NotInTime;
            return;
        }
        std::unique_lock lock(mutex);
        wake.wait_until(lock, stop, std::min(until, now + pause), [] { return false; });
    }
}

} // namespace velfetch::opencatalog
