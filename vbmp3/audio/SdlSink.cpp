#include "SdlSink.h"

namespace vbmp3 {

std::unique_ptr<SdlSink> SdlSink::create() {
    auto sdl = SdlApi::load();
    if (!sdl) return nullptr;
    // The player is not an SDL program: keep SDL away from its signals.
    sdl->setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The name the sound server's mixer shows for the player's streams.
    sdl->setHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Velmora");
    if (sdl->initSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    return std::unique_ptr<SdlSink>(new SdlSink(std::move(sdl)));
}

SdlSink::~SdlSink() {
    closeDevice();
    sdl_->quitSubSystem(SDL_INIT_AUDIO);
}

bool SdlSink::openDevice() {
    // Read when the device opens: each stream carries its track's name.
    sdl_->setHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, name_.c_str());
    SDL_AudioSpec want{};
    want.freq = rate_;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 2048;
    // No allowed changes: SDL converts to whatever the hardware wants.
    device_ = sdl_->openAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device_ == 0) return false;
    sdl_->pauseAudioDevice(device_, paused_ ? 1 : 0);
    return true;
}

void SdlSink::closeDevice() {
    if (device_ != 0) sdl_->closeAudioDevice(device_);
    device_ = 0;
}

bool SdlSink::configure(int sampleRate, const std::string& name) {
    if (device_ != 0 && sampleRate == rate_ && name == name_) return true;
    closeDevice();
    rate_ = sampleRate;
    name_ = name;
    return openDevice();
}

bool SdlSink::reopen() {
    closeDevice();
    return rate_ > 0 && openDevice();
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

// A device whose server went away or that was unplugged reads as stopped;
// SDL then goes on draining its queue in real time, playing nothing.
bool SdlSink::alive() {
    return device_ != 0 && sdl_->getAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED;
}

} // namespace vbmp3
