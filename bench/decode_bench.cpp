// Driver of decode.bench.sh:
//   decode_bench decode FILE   decodes FILE through the library's decoder, with
//                              the volume applied, into nothing; prints seconds
//                              of audio, then the wall-clock and CPU seconds of
//                              opening and decoding (program start not included)
//   decode_bench open FILE     times vbmp3_open; prints Length and seconds
//   decode_bench tag FILE      times vbmp3_getFileTagInfoEX: the first call in
//                              the process (what the fetcher pays, plug-in
//                              loading included) and the best of 20 more
#include "Decoder.h"
#include "Volume.h"
#include "vbmp3_abi.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

int decode(const char* path) {
    const double t0 = now(), c0 = cpu();
    auto d = vbmp3::Decoder::open(path);
    if (!d) return 1;
    // As the playback thread does it: decoder buffer to ours, volume applied.
    std::vector<std::int16_t> buf(4096 * 2);
    const double gain = vbmp3::Volume::gain(80);
    std::size_t frames = 0;
    for (auto chunk = d->take(4096); !chunk.empty(); chunk = d->take(4096)) {
        vbmp3::Volume::apply(chunk.data(), buf.data(), chunk.size() / 2, gain, gain);
        frames += chunk.size() / 2;
    }
    const double t1 = now(), c1 = cpu();
    std::printf("%.3f %.3f %.3f\n", static_cast<double>(frames) / d->sampleRate(), t1 - t0, c1 - c0);
    return 0;
}

int open(const char* path) {
    vbmp3_init();
    std::array<std::uint8_t, 272> info{};
    const double t0 = now();
    const int rc = vbmp3_open(path, info.data());
    const double t1 = now();
    std::int32_t length;
    std::memcpy(&length, info.data() + 268, 4);
    vbmp3_free();
    if (rc == 0) return 1;
    std::printf("%d %.3f\n", length, t1 - t0);
    return 0;
}

int tag(const char* path) {
    vbmp3_init();
    std::array<std::uint8_t, 656> record{};
    double t0 = now();
    const int rc = vbmp3_getFileTagInfoEX(path, record.data());
    const double first = now() - t0;
    double best = first;
    for (int i = 0; i < 20; ++i) {
        t0 = now();
        vbmp3_getFileTagInfoEX(path, record.data());
        best = std::min(best, now() - t0);
    }
    vbmp3_free();
    if (rc == 0) return 1;
    std::printf("%.6f %.6f\n", first, best);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "decode") == 0) return decode(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "open") == 0) return open(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "tag") == 0) return tag(argv[2]);
    std::fprintf(stderr, "usage: %s decode|open|tag FILE\n", argv[0]);
    return 2;
}
