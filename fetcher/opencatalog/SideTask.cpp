#include "SideTask.h"

#include <signal.h>

namespace velfetch::opencatalog {

SideTask::SideTask(bool ownThread, std::function<void(std::stop_token)> work) : work_(std::move(work)) {
    if (!ownThread) return;
    // A new thread starts with its creator's signal mask.
    sigset_t ending, old;
    sigemptyset(&ending);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&ending, s);
    pthread_sigmask(SIG_BLOCK, &ending, &old);
    thread_ = std::jthread([this, token = stop_.get_token()] { work_(token); });
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

SideTask::~SideTask() {
    Stop();
    Finish();
}

void SideTask::Finish() {
    if (done_) return;
    done_ = true;
    if (thread_.joinable()) thread_.join();
    else if (!stop_.stop_requested()) work_(stop_.get_token());
}

void SideTask::Stop() { stop_.request_stop(); }

} // namespace velfetch::opencatalog
