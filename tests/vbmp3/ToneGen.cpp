// Writes a WAV file of synthetic test audio to standard output:
//   vbmp3_tonegen SECONDS RATE CHANNELS
// Second k holds a sine of 250 * (k % 16 + 1) Hz, so that a decoder's position
// can be read back from the audio. The first two seconds are quiet; after that
// noise is mixed in, so that a VBR encoder uses very different bitrates.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void put16(std::vector<unsigned char>& out, unsigned v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SECONDS RATE CHANNELS > out.wav\n", argv[0]);
        return 2;
    }
    const long seconds = std::atol(argv[1]);
    const long rate = std::atol(argv[2]);
    const int channels = std::atoi(argv[3]);
    if (seconds <= 0 || rate <= 0 || channels < 1 || channels > 2) return 2;

    const std::uint32_t samples = static_cast<std::uint32_t>(seconds * rate);
    const std::uint32_t dataBytes = samples * channels * 2;
    std::vector<unsigned char> head;
    head.insert(head.end(), {'R', 'I', 'F', 'F'});
    put32(head, 36 + dataBytes);
    head.insert(head.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(head, 16);
    put16(head, 1);
    put16(head, channels);
    put32(head, rate);
    put32(head, rate * channels * 2);
    put16(head, channels * 2);
    put16(head, 16);
    head.insert(head.end(), {'d', 'a', 't', 'a'});
    put32(head, dataBytes);
    std::fwrite(head.data(), 1, head.size(), stdout);

    std::uint32_t noise = 12345;
    std::vector<unsigned char> block;
    double phase = 0;
    for (std::uint32_t i = 0; i < samples; ++i) {
        const long second = i / rate;
        const double freq = 250.0 * (second % 16 + 1);
        phase += 2 * M_PI * freq / rate;
        if (phase > 2 * M_PI) phase -= 2 * M_PI;
        double v = (second < 2 ? 0.02 : 0.4) * std::sin(phase);
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double n = second < 2 ? 0 : 0.25 * ((noise >> 8) / 8388608.0 - 1.0);
            put16(block, static_cast<std::uint16_t>(static_cast<std::int16_t>((v + n) * 32767)));
        }
        if (block.size() >= 65536) {
            std::fwrite(block.data(), 1, block.size(), stdout);
            block.clear();
        }
    }
    std::fwrite(block.data(), 1, block.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
