#pragma once
// SIGTERM, SIGHUP and SIGINT (a logout, `kill`, a closed terminal, Ctrl+C)
// end the player as its close box does, so that the shutdown steps run and
// the cover copy for the desktop's media controls goes. The handler only
// writes the signal's number into a pipe; the work happens in the event loop.
#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace velplay {

class CloseOnSignal : public QObject {
public:
    // Calls `close` from the event loop for each of those signals received
    // while this lives. One at a time.
    explicit CloseOnSignal(std::function<void()> close, QObject* parent = nullptr);
    ~CloseOnSignal() override; // the signals' own actions are back
    CloseOnSignal(const CloseOnSignal&) = delete;
    CloseOnSignal& operator=(const CloseOnSignal&) = delete;

private:
    std::function<void()> close_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_; // goes before the pipe it watches
};

} // namespace velplay
