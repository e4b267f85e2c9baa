#pragma once
// An audio sink that plays nothing but consumes frames at the real-time rate,
// so that positions and the end of a track behave as with a sound device.
#include "AudioSink.h"

#include <chrono>

namespace vbmp3 {

class SilentSink final : public AudioSink {
public:
    bool configure(int sampleRate, const std::string& name) override;
    void write(const std::int16_t* frames, std::size_t count) override;
    std::size_t queuedFrames() override;
    void setPaused(bool paused) override;
    void clear() override;

private:
    using Clock = std::chrono::steady_clock;
    void advance();

    int rate_ = 44100;
    bool paused_ = true;
    double queued_ = 0;       // frames not yet "heard"
    Clock::time_point mark_ = Clock::now();
};

} // namespace vbmp3
