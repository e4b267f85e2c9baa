#include "FetcherProcess.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

extern char** environ;

namespace velplay {

int FetcherProcess::start(const std::string& program, const std::string& argument) {
    end();
    std::string prog = program, arg = argument;
    char* argv[] = {prog.data(), arg.data(), nullptr};
    // The child starts with no signal blocked and every signal at its default,
    // whatever the player ignores or blocks.
    posix_spawnattr_t attr;
    if (int rc = posix_spawnattr_init(&attr); rc != 0) return rc;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    // posix_spawn reports a failed exec (missing file, no permission) as its result.
    const int rc = posix_spawn(&child, prog.c_str(), nullptr, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return rc;
    pid_ = child;
    return 0;
}

bool FetcherProcess::stillActive() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(pid_, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return true;
    // Ended and reaped, or not our child any more (ECHILD): either way it is gone.
    pid_ = 0;
    return false;
}

void FetcherProcess::end() {
    if (pid_ <= 0) return;
    if (stillActive()) {
        // Asked first: the fetcher then removes nothing half-done, since its
        // temporary files carry no name while it can be ended this way.
        // SIGKILL only for one that does not end within the grace time.
        kill(pid_, SIGTERM);
        const auto giveUp = std::chrono::steady_clock::now() + kGraceTime;
        while (stillActive() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            int status = 0;
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    pid_ = 0;
}

} // namespace velplay
