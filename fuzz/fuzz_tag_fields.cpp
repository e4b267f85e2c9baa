// Reads arbitrary bytes as an MP3 file's tags through the decoder library's
// tag plug-in (its text fields, then the APEv2 track gain), compiled in: every
// field handed over is a key it knows, and nothing costs more than the bounds.
#include "TagPluginApi.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

extern "C" int vbmp3tags_read(int fd, Vbmp3TagField field, void* context);
extern "C" int vbmp3tags_track_gain(int fd, double* gainDb, double* peak);

// TagLib and the C++ runtime are built without frame pointers: the sanitizer's
// quick record of where each allocation was made follows stray ones through
// them and keeps a "new" call stack for almost every allocation, which took
// this target past 256 MB resident in four minutes. It records none here; to
// see them for a finding, run it with ASAN_OPTIONS=malloc_context_size=30:fast_unwind_on_malloc=0.
extern "C" const char* __asan_default_options() { return "malloc_context_size=0"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int track = memfd_create("track.mp3", MFD_CLOEXEC);
    if (track < 0 || write(track, data, size) != ssize_t(size)) std::abort();
    const auto field = [](void*, int key, const char* utf8, std::size_t length) {
        if (key < 0 || key >= VBMP3_KEYS || length == 0 || !utf8) std::abort();
    };
    vbmp3tags_read(track, field, nullptr);
    double gainDb = 0, peak = 0;
    if (vbmp3tags_track_gain(track, &gainDb, &peak) != 0 && peak < 0) std::abort();
    close(track);
    return 0;
}
