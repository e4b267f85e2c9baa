#include "FrameHeader.h"

namespace vbmp3 {
namespace {

constexpr int kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}, // MPEG-1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},    // MPEG-1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},     // MPEG-1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},    // MPEG-2/2.5 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},         // MPEG-2/2.5 layer II, III
};
constexpr int kRates[3] = {44100, 48000, 32000};

} // namespace

std::optional<FrameHeader> FrameHeader::parse(const std::uint8_t* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return std::nullopt;
    const int versionBits = (b[1] >> 3) & 3;
    const int layerBits = (b[1] >> 1) & 3;
    const int bitrateIndex = b[2] >> 4;
    const int rateIndex = (b[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3 || (b[3] & 3) == 2)
        return std::nullopt;

    FrameHeader h;
    h.version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
    h.layer = 4 - layerBits;
    const bool mpeg1 = h.version == 10;
    const int table = mpeg1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4);
    h.bitrateKbps = kBitrates[table][bitrateIndex];
    h.sampleRate = kRates[rateIndex] >> (mpeg1 ? 0 : h.version == 20 ? 1 : 2);
    h.channels = (b[3] >> 6) == 3 ? 1 : 2;
    h.crc = (b[1] & 1) == 0;
    const int padding = (b[2] >> 1) & 1;
    const long bits = static_cast<long>(h.bitrateKbps) * 1000;
    if (h.layer == 1) {
        h.samples = 384;
        h.frameBytes = static_cast<int>((12 * bits / h.sampleRate + padding) * 4);
    } else if (h.layer == 2 || mpeg1) {
        h.samples = 1152;
        h.frameBytes = static_cast<int>(144 * bits / h.sampleRate + padding);
    } else {
        h.samples = 576;
        h.frameBytes = static_cast<int>(72 * bits / h.sampleRate + padding);
    }
    return h;
}

int FrameHeader::xingOffset() const {
    const bool mpeg1 = version == 10;
    const int sideInfo = mpeg1 ? (channels == 1 ? 17 : 32) : (channels == 1 ? 9 : 17);
    return 4 + sideInfo;
}

} // namespace vbmp3
