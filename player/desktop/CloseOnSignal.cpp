#include "CloseOnSignal.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace velplay {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
std::atomic<int> gWriteEnd{-1};

void onSignal(int signal) {
    const int saved = errno;
    const char number = static_cast<char>(signal);
    // A full pipe already holds a request to close: this one may go.
    [[maybe_unused]] const ssize_t written = ::write(gWriteEnd.load(), &number, 1);
    errno = saved;
}

} // namespace

CloseOnSignal::CloseOnSignal(std::function<void()> close, QObject* parent)
    : QObject(parent), close_(std::move(close)) {
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return; // no pipe: the signals keep their own actions
    gWriteEnd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char drained[16];
        while (::read(pipe_[0], drained, sizeof drained) > 0) {
        }
        close_();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) {
        // A signal ignored from the start (nohup) stays ignored.
        struct sigaction before {};
        if (sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}

CloseOnSignal::~CloseOnSignal() {
    if (pipe_[1] < 0) return;
    for (int s : kSignals) {
        struct sigaction now {};
        if (sigaction(s, nullptr, &now) == 0 && now.sa_handler == onSignal) signal(s, SIG_DFL);
    }
    gWriteEnd = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

} // namespace velplay
