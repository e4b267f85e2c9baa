#pragma once
// Waits that wake on the event itself (a folder's files changing, a process
// ending); the ceilings only end a wait that failed.
#include <poll.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace veltest {

inline bool readableBefore(int fd, std::chrono::steady_clock::time_point until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    return left.count() > 0 && poll(&p, 1, int(left.count())) > 0;
}

// Changes to the files of one folder, watched from construction on.
class FolderWatch {
public:
    explicit FolderWatch(const std::string& folder) {
        inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO);
    }
    ~FolderWatch() { close(fd_); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Whether `done()` holds, asked again after each change, before `ceiling` has passed.
    template <class Done>
    bool waitFor(Done done, std::chrono::milliseconds ceiling = std::chrono::seconds(30)) {
        const auto until = std::chrono::steady_clock::now() + ceiling;
        for (char events[4096]; !done();) {
            if (!readableBefore(fd_, until)) return done();
            while (read(fd_, events, sizeof events) > 0) continue; // drained: the next change wakes the poll
        }
        return true;
    }

private:
    int fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
};

// Whether the child `pid` ends (unreaped) within `ceiling`; without process
// descriptors in the kernel, once it ends.
inline bool endsWithin(pid_t pid, std::chrono::milliseconds ceiling) {
    const int fd = int(syscall(SYS_pidfd_open, pid, 0));
    siginfo_t info{};
    if (fd < 0) return waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) == 0;
    const bool ended = readableBefore(fd, std::chrono::steady_clock::now() + ceiling);
    close(fd);
    return ended;
}

} // namespace veltest
