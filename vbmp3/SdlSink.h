#pragma once
// Audio out through an SDL2 device, fed by SDL's own queue.
#include "AudioSink.h"

#include <memory>

namespace vbmp3 {

class SdlSink final : public AudioSink {
public:
    // nullptr when SDL has no audio device to offer.
    static std::unique_ptr<SdlSink> create(int sampleRate);
    ~SdlSink() override;
    SdlSink(const SdlSink&) = delete;
    SdlSink& operator=(const SdlSink&) = delete;

    bool configure(int sampleRate) override;
    void write(const std::int16_t* frames, std::size_t count) override;
    std::size_t queuedFrames() override;
    void setPaused(bool paused) override;
    void clear() override;
    bool alive() override;

private:
    SdlSink() = default;
    bool openDevice(int sampleRate);
    void closeDevice();

    unsigned device_ = 0;
    int rate_ = 0;
    bool paused_ = true;
};

} // namespace vbmp3
