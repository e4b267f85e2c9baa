#pragma once
// Audio out through an SDL2 device, fed by SDL's own queue. Each sink loads
// SDL for itself and unloads it when it goes.
#include "AudioSink.h"
#include "SdlApi.h"

#include <memory>
#include <string>
#include <utility>

namespace vbmp3 {

class SdlSink final : public AudioSink {
public:
    // Loads SDL and starts its audio; nullptr when SDL cannot be loaded or has
    // no audio driver. The device opens at configure().
    static std::unique_ptr<SdlSink> create();
    ~SdlSink() override;
    SdlSink(const SdlSink&) = delete;
    SdlSink& operator=(const SdlSink&) = delete;

    bool configure(int sampleRate, const std::string& name) override;
    void write(const std::int16_t* frames, std::size_t count) override;
    std::size_t queuedFrames() override;
    void setPaused(bool paused) override;
    void clear() override;
    bool alive() override;
    bool reopen() override;

private:
    explicit SdlSink(std::unique_ptr<SdlApi> sdl) : sdl_(std::move(sdl)) {}
    bool openDevice();
    void closeDevice();

    std::unique_ptr<SdlApi> sdl_; // declared first: unloaded last
    unsigned device_ = 0;
    int rate_ = 0;
    std::string name_;
    bool paused_ = true;
};

} // namespace vbmp3
