#include "EndSignals.h"

#include <pthread.h>
#include <unistd.h>

#include <system_error>
#include <thread>

namespace vel {
namespace {

sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, s);
    return set;
}

// Trivially destroyed: the waiting thread may still take it while the program ends.
std::mutex gNaming;

[[noreturn]] void endBy(int signal) {
    gNaming.lock(); // kept: no file is named from here on
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    ::signal(signal, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(signal); // sent to this thread, which alone takes it: the default action ends the process
    _exit(128 + signal);
}

} // namespace

void TakeEndSignalsOnOwnThread() {
    // A blocked signal stays pending even when ignored: those ignored from the
    // start are left out, or sigwait would take them.
    sigset_t set = endingSignals();
    for (int s : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction now {};
        if (sigaction(s, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) sigdelset(&set, s);
    }
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &set, &old);
    try {
        std::thread([set] {
            int signal = 0;
            while (sigwait(&set, &signal) != 0) {
            }
            endBy(signal);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to take them: the main thread takes them again, as a
        // program without threads of its own would.
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
}

HoldEndSignals::HoldEndSignals() : naming_(gNaming) {
    const sigset_t set = endingSignals();
    pthread_sigmask(SIG_BLOCK, &set, &old_);
}

HoldEndSignals::~HoldEndSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

} // namespace vel
