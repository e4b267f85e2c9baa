#pragma once
// Walks the frame headers of an MPEG audio file without decoding anything:
// decides whether the file holds MPEG audio at all and counts its frames, which
// gives an exact length for CBR and VBR files with or without a Xing/VBRI header.
#include "FrameHeader.h"

#include <cstdint>
#include <optional>

namespace vbmp3 {

struct StreamInfo {
    FrameHeader first;             // first audio frame
    std::int64_t firstOffset = 0;  // where the first frame (or the Xing frame) starts
    std::int64_t frames = 0;       // audio frames, a Xing/Info/VBRI frame not counted
    std::int64_t audioBytes = 0;   // bytes in those frames
    bool vbrHeader = false;        // a Xing/Info/VBRI frame leads the stream

    double seconds() const {
        return static_cast<double>(frames) * first.samples / first.sampleRate;
    }
    int averageKbps() const;
};

class FrameScanner {
public:
    // Frames that must follow each other without a gap before a sync counts as
    // MPEG audio (fewer when the chain ends exactly at the end of the audio).
    static constexpr int kConfirmFrames = 4;
    // How far past any ID3v2 tag the first frame is looked for.
    static constexpr std::int64_t kSearchLimit = 256 * 1024;

    // Scans the regular file open on fd; nullopt when it holds no MPEG audio.
    static std::optional<StreamInfo> scan(int fd);
};

} // namespace vbmp3
