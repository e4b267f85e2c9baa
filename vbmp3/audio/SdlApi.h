#pragma once
// The SDL2 audio functions the SDL sink uses, taken from SDL loaded at run
// time. Linking SDL would map it and the fifty-odd libraries it needs (X11,
// Wayland, sound servers) into every program that loads us, even one that
// only reads a tag; this way they come in when a track is first played.
#include <SDL.h>

#include <memory>

namespace vbmp3 {

class SdlApi {
public:
    static constexpr const char* kLibrary = "libSDL2-2.0.so.0";

    // nullptr when the library cannot be loaded or lacks one of the functions.
    // The library stays loaded as long as the returned object lives.
    static std::unique_ptr<SdlApi> load(const char* library = kLibrary);
    SdlApi(const SdlApi&) = delete;
    SdlApi& operator=(const SdlApi&) = delete;

    decltype(&SDL_SetHint) setHint = nullptr;
    decltype(&SDL_InitSubSystem) initSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) quitSubSystem = nullptr;
    decltype(&SDL_OpenAudioDevice) openAudioDevice = nullptr;
    decltype(&SDL_CloseAudioDevice) closeAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) pauseAudioDevice = nullptr;
    decltype(&SDL_QueueAudio) queueAudio = nullptr;
    decltype(&SDL_GetQueuedAudioSize) getQueuedAudioSize = nullptr;
    decltype(&SDL_ClearQueuedAudio) clearQueuedAudio = nullptr;
    decltype(&SDL_GetAudioDeviceStatus) getAudioDeviceStatus = nullptr;

private:
    struct Close {
        void operator()(void* handle) const;
    };
    SdlApi() = default;
    bool resolveAll();

    std::unique_ptr<void, Close> handle_;
};

} // namespace vbmp3
