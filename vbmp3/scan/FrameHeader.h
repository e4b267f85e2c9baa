#pragma once
// One MPEG audio frame header (MPEG-1, -2, -2.5; layers I-III), parsed from 4 bytes.
#include <cstdint>
#include <optional>

namespace vbmp3 {

struct FrameHeader {
    int version = 0;      // 10 = MPEG-1, 20 = MPEG-2, 25 = MPEG-2.5
    int layer = 0;        // 1..3
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channels = 0;
    int frameBytes = 0;   // whole frame, header included
    int samples = 0;      // PCM samples per channel
    bool crc = false;

    // Parses a header; free-format and reserved values are rejected.
    static std::optional<FrameHeader> parse(const std::uint8_t* b);

    // Frames of one stream share version, layer and sample rate; the channel
    // mode may change from frame to frame (the decoder's output stays stereo).
    bool sameStream(const FrameHeader& o) const {
        return version == o.version && layer == o.layer && sampleRate == o.sampleRate;
    }

    // Offset of a Xing/Info tag inside a layer III frame.
    int xingOffset() const;
};

} // namespace vbmp3
