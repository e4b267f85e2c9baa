#pragma once
// Walks the frame headers of an MPEG audio file without decoding anything:
// decides whether the file holds MPEG audio at all, counts its frames, which
// gives an exact length for CBR and VBR files with or without a Xing/VBRI
// header, and marks where the frames lie, so that the decoder reads those
// and nothing else (no tags, no junk, no zero padding).
#include "FrameHeader.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vbmp3 {

struct ByteRange {
    std::int64_t offset = 0;
    std::int64_t bytes = 0;
};

struct StreamInfo {
    FrameHeader first;             // first audio frame
    std::int64_t firstOffset = 0;  // where the first frame (or the Xing frame) starts
    std::int64_t frames = 0;       // audio frames, a Xing/Info/VBRI frame not counted
    std::int64_t audioBytes = 0;   // bytes in those frames
    bool vbrHeader = false;        // a Xing/Info/VBRI frame leads the stream
    int channels = 0;              // what most frames have (the channel mode may change)
    // Stretches of frames that follow each other without a gap, in file order,
    // the Xing frame included.
    std::vector<ByteRange> runs;
    // The ID3v2 tag that opens the file and ends before the first frame
    // (bytes 0: none), and whether an APEv2 tag ends it: where gains are kept.
    ByteRange leadingId3v2;
    bool apeTag = false;

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
    // A chain this long is MPEG audio, whatever else the file holds; random
    // data never forms one.
    static constexpr int kProofFrames = 32;
    // How far past the leading tags the first frame is looked for: beyond a
    // tag that states too small a size, its pictures come first.
    static constexpr std::int64_t kSearchLimit = 4 << 20;
    // Runs kept apart at most; beyond, a run takes in the gap before it.
    static constexpr std::size_t kMaxRuns = 1 << 16;

    // Scans the regular file open on fd; nullopt when it holds no MPEG audio.
    static std::optional<StreamInfo> scan(int fd);
};

} // namespace vbmp3
