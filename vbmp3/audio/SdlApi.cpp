#include "SdlApi.h"

#include <dlfcn.h>

namespace vbmp3 {
namespace {

template <class Fn>
bool resolve(void* handle, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(dlsym(handle, name));
    return fn != nullptr;
}

} // namespace

void SdlApi::Close::operator()(void* handle) const { dlclose(handle); }

std::unique_ptr<SdlApi> SdlApi::load(const char* library) {
    // Local binding: SDL's symbols stay out of the program's global scope.
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    std::unique_ptr<SdlApi> api(new SdlApi);
    api->handle_.reset(handle);
    if (!api->resolveAll()) return nullptr;
    return api;
}

bool SdlApi::resolveAll() {
    void* h = handle_.get();
    return resolve(h, "SDL_SetHint", setHint) &&
           resolve(h, "SDL_InitSubSystem", initSubSystem) &&
           resolve(h, "SDL_QuitSubSystem", quitSubSystem) &&
           resolve(h, "SDL_OpenAudioDevice", openAudioDevice) &&
           resolve(h, "SDL_CloseAudioDevice", closeAudioDevice) &&
           resolve(h, "SDL_PauseAudioDevice", pauseAudioDevice) &&
           resolve(h, "SDL_QueueAudio", queueAudio) &&
           resolve(h, "SDL_GetQueuedAudioSize", getQueuedAudioSize) &&
           resolve(h, "SDL_ClearQueuedAudio", clearQueuedAudio) &&
           resolve(h, "SDL_GetAudioDeviceStatus", getAudioDeviceStatus);
}

} // namespace vbmp3
