#include "SilentSink.h"

#include <algorithm>

namespace vbmp3 {

bool SilentSink::configure(int sampleRate, const std::string&) {
    advance();
    rate_ = sampleRate > 0 ? sampleRate : 44100;
    return true;
}

void SilentSink::advance() {
    const auto now = Clock::now();
    if (!paused_) {
        const double elapsed = std::chrono::duration<double>(now - mark_).count();
        // An empty queue earns no credit: time only counts while there is audio.
        queued_ = std::max(0.0, queued_ - elapsed * rate_);
    }
    mark_ = now;
}

void SilentSink::write(const std::int16_t*, std::size_t count) {
    advance();
    queued_ += static_cast<double>(count);
}

std::size_t SilentSink::queuedFrames() {
    advance();
    return static_cast<std::size_t>(queued_ + 0.5);
}

void SilentSink::setPaused(bool paused) {
    advance();
    paused_ = paused;
}

void SilentSink::clear() {
    advance();
    queued_ = 0;
}

} // namespace vbmp3
