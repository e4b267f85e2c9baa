#pragma once
// Where decoded audio goes: interleaved signed 16-bit stereo frames, queued
// and consumed in real time. All calls come from the player under its lock.
#include <cstddef>
#include <cstdint>

namespace vbmp3 {

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Prepares for a stream at the given rate; false when that is impossible.
    virtual bool configure(int sampleRate) = 0;
    virtual void write(const std::int16_t* frames, std::size_t count) = 0;
    // Frames written but not yet heard.
    virtual std::size_t queuedFrames() = 0;
    virtual void setPaused(bool paused) = 0;
    virtual void clear() = 0;
    // False once the output has died (device unplugged): the player then
    // carries on silently.
    virtual bool alive() { return true; }
};

} // namespace vbmp3
