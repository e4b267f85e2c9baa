// Run by LazySdlTest in a fresh process, so that nothing another test loaded
// blurs the answer: after each step through the C interface, prints whether
// SDL (or TagLib) is mapped into the process, one "key=value" line per step.
//   vbmp3_lazy_probe TAGGED_MP3
#include "vbmp3_abi.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace {

int mapped(const char* library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(library) != std::string::npos) return 1;
    return 0;
}

int sdlMapped() { return mapped("/libSDL2"); }

void report(const char* key, int value) { std::printf("%s=%d\n", key, value); }

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    report("start", sdlMapped());
    vbmp3_init();
    std::array<std::uint8_t, 656> tag{};
    report("tag", vbmp3_getFileTagInfoEX(argv[1], tag.data()));
    report("after-tag", sdlMapped());
    report("taglib-after-tag", mapped("/libtag.so"));

    std::array<std::uint8_t, 272> info{};
    report("open", vbmp3_open(argv[1], info.data()));
    report("play", vbmp3_play());
    report("after-play", sdlMapped());
    // Playback runs in real time: wait, however long it takes, for the first second to pass.
    std::int32_t position = -1, state = vbmp3_getState(&position);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (state == 1 && position < 1 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        state = vbmp3_getState(&position);
    }
    report("state", state);
    report("second-passed", position >= 1);

    vbmp3_free();
    report("after-free", sdlMapped());
    return 0;
}
