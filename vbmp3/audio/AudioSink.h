#pragma once
// Where decoded audio goes: interleaved signed 16-bit stereo frames, queued
// and consumed in real time. All calls come from the player under its lock,
// but for reopen(), which the player makes without it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vbmp3 {

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Prepares for a stream at the given rate, which the sound server's mixer
    // shows under the given name (UTF-8); false when that is impossible.
    virtual bool configure(int sampleRate, const std::string& name) = 0;
    virtual void write(const std::int16_t* frames, std::size_t count) = 0;
    // Frames written but not yet heard.
    virtual std::size_t queuedFrames() = 0;
    virtual void setPaused(bool paused) = 0;
    virtual void clear() = 0;
    // False once the output has died (sound server restarted, device
    // unplugged): the player then carries on silently and calls reopen().
    virtual bool alive() { return true; }
    // Lets a dead output go and opens the default one again, as last
    // configured and paused; false while none opens. May take a while.
    virtual bool reopen() { return false; }
};

} // namespace vbmp3
