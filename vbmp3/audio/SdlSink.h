#pragma once
// Audio out through an SDL2 device, fed by SDL's own queue. Each sink loads
// SDL for itself and unloads it when it goes.
#include "AudioSink.h"
#include "SdlApi.h"

#include <memory>
#include <utility>

namespace vbmp3 {

class SdlSink final : public AudioSink {
public:
    // nullptr when SDL cannot be loaded or has no audio device to offer.
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
    explicit SdlSink(std::unique_ptr<SdlApi> sdl) : sdl_(std::move(sdl)) {}
    bool openDevice(int sampleRate);
    void closeDevice();

    std::unique_ptr<SdlApi> sdl_; // declared first: unloaded last
    unsigned device_ = 0;
    int rate_ = 0;
    bool paused_ = true;
};

} // namespace vbmp3
