/* Not installed. libvbmp3 opens SDL2 only when playback starts (dlopen), so the
 * package's dependency on it cannot be read off libvbmp3's own links. This
 * object links SDL2 and names the calls libvbmp3 makes, so dpkg-shlibdeps
 * computes that dependency, with its version, from SDL2's symbols file. */
extern char SDL_SetHint[], SDL_InitSubSystem[], SDL_QuitSubSystem[], SDL_OpenAudioDevice[],
    SDL_CloseAudioDevice[], SDL_PauseAudioDevice[], SDL_QueueAudio[], SDL_GetQueuedAudioSize[],
    SDL_ClearQueuedAudio[], SDL_GetAudioDeviceStatus[];

void* const vel_sdl_calls[] = {
    SDL_SetHint, SDL_InitSubSystem, SDL_QuitSubSystem, SDL_OpenAudioDevice, SDL_CloseAudioDevice,
    SDL_PauseAudioDevice, SDL_QueueAudio, SDL_GetQueuedAudioSize, SDL_ClearQueuedAudio,
    SDL_GetAudioDeviceStatus,
};
