#include "SdlSink.h"

namespace vbmp3 {

std::unique_ptr<SdlSink> SdlSink::create(int sampleRate) {
    auto sdl = SdlApi::load();
    if (!sdl) return nullptr;
    // The player is not an SDL program: keep SDL away from its signals.
    sdl->setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (sdl->initSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    std::unique_ptr<SdlSink> sink(new SdlSink(std::move(sdl)));
    if (!sink->openDevice(sampleRate)) return nullptr; // the destructor quits the subsystem
    return sink;
}

SdlSink::~SdlSink() {
    closeDevice();
    sdl_->quitSubSystem(SDL_INIT_AUDIO);
}

bool SdlSink::openDevice(int sampleRate) {
    SDL_AudioSpec want{};
    want.freq = sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 2048;
    // No allowed changes: SDL converts to whatever the hardware wants.
    device_ = sdl_->openAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device_ == 0) return false;
    rate_ = sampleRate;
    sdl_->pauseAudioDevice(device_, paused_ ? 1 : 0);
    return true;
}

void SdlSink::closeDevice() {
    if (device_ != 0) sdl_->closeAudioDevice(device_);
    device_ = 0;
}

bool SdlSink::configure(int sampleRate) {
    if (device_ != 0 && sampleRate == rate_) return true;
    closeDevice();
    return openDevice(sampleRate);
}

void SdlSink::write(const std::int16_t* frames, std::size_t count) {
    if (device_ != 0)
        sdl_->queueAudio(device_, frames,
                         static_cast<Uint32>(count * 2 * sizeof(std::int16_t)));
}

std::size_t SdlSink::queuedFrames() {
    return device_ != 0 ? sdl_->getQueuedAudioSize(device_) / (2 * sizeof(std::int16_t)) : 0;
}

void SdlSink::setPaused(bool paused) {
    paused_ = paused;
    if (device_ != 0) sdl_->pauseAudioDevice(device_, paused ? 1 : 0);
}

void SdlSink::clear() {
    if (device_ != 0) sdl_->clearQueuedAudio(device_);
}

bool SdlSink::alive() {
    return device_ != 0 && sdl_->getAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED;
}

} // namespace vbmp3
