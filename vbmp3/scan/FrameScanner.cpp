#include "FrameScanner.h"

#include "FileWindow.h"
#include "TagBlocks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace vbmp3 {
namespace {

std::optional<FrameHeader> headerAt(FileWindow& w, std::int64_t pos) {
    const std::uint8_t* b = w.at(pos, 4);
    return b ? FrameHeader::parse(b) : std::nullopt;
}

// A frame whose header is valid and which lies wholly before end.
bool completeFrame(FileWindow& w, std::int64_t pos, std::int64_t end, const FrameHeader* like,
                   FrameHeader& out) {
    auto h = headerAt(w, pos);
    if (!h || (like && !h->sameStream(*like)) || pos + h->frameBytes > end) return false;
    out = *h;
    return true;
}

// Whether a stream starts at pos: kConfirmFrames frames back to back, or at
// least one whole frame whose chain runs exactly to the end of the audio or
// into a last frame cut short (a truncated file).
bool confirmed(FileWindow& w, std::int64_t pos, std::int64_t end, const FrameHeader* like) {
    FrameHeader first, h;
    if (!completeFrame(w, pos, end, like, first)) return false;
    std::int64_t p = pos + first.frameBytes;
    for (int n = 1; n < FrameScanner::kConfirmFrames; ++n) {
        if (p == end) return true;
        if (!completeFrame(w, p, end, &first, h)) {
            auto cut = headerAt(w, p);
            return cut && cut->sameStream(first) && p + cut->frameBytes > end;
        }
        p += h.frameBytes;
    }
    return true;
}

bool hasVbrTag(FileWindow& w, std::int64_t pos, const FrameHeader& h) {
    if (h.layer != 3) return false;
    const std::uint8_t* x = w.at(pos + h.xingOffset(), 4);
    if (x && (std::memcmp(x, "Xing", 4) == 0 || std::memcmp(x, "Info", 4) == 0)) return true;
    const std::uint8_t* v = w.at(pos + 36, 4);
    return v && std::memcmp(v, "VBRI", 4) == 0;
}

// Steps from pos over bytes that start neither a stream nor a tag block, up
// to limit, and returns where one starts (or limit). Bytes other than zero
// padding count as junk. Only a 0xFF byte can start a frame and only 'I',
// 'A' and 'T' a tag block, so most bytes cost one comparison.
std::int64_t overGap(FileWindow& w, std::int64_t pos, std::int64_t limit, std::int64_t end,
                     const FrameHeader* like, std::int64_t& junk) {
    while (pos < limit) {
        const FileWindow::Run run = w.from(pos, limit);
        if (run.count == 0) return limit; // unreadable: nothing more to find
        std::int64_t i = 0;
        for (; i < run.count; ++i) {
            const std::uint8_t c = run.data[i];
            if (c == 0xFF || c == 'I' || c == 'A' || c == 'T') break;
            junk += c != 0;
        }
        pos += i;
        if (i == run.count) continue;
        if (confirmed(w, pos, end, like) || TagBlocks::at(w, pos, end) > 0) return pos;
        ++junk;
        ++pos;
    }
    return limit;
}

// The first stream start at or after pos within kSearchLimit, stepping over
// tag blocks on the way; -1 when there is none.
std::int64_t findStart(FileWindow& w, std::int64_t pos, std::int64_t end, std::int64_t& junk) {
    const std::int64_t limit = std::min(end, pos + FrameScanner::kSearchLimit);
    while ((pos = overGap(w, pos, limit, end, nullptr, junk)) < limit) {
        const std::int64_t tag = TagBlocks::at(w, pos, end);
        if (tag == 0) return pos;
        pos += tag;
    }
    return -1;
}

void closeRun(std::vector<ByteRange>& runs, const ByteRange& run) {
    if (run.bytes == 0) return;
    if (runs.size() < FrameScanner::kMaxRuns) {
        runs.push_back(run);
    } else {
        runs.back().bytes = run.offset + run.bytes - runs.back().offset;
    }
}

} // namespace

int StreamInfo::averageKbps() const {
    const double s = seconds();
    return s > 0 ? static_cast<int>(audioBytes * 8 / s / 1000 + 0.5) : first.bitrateKbps;
}

std::optional<StreamInfo> FrameScanner::scan(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    FileWindow w(fd, st.st_size);

    // The audio lies between the tags that lead the file and those that end it.
    bool apeTag = false;
    const std::int64_t end = TagBlocks::tailStart(w, st.st_size, &apeTag);
    std::int64_t lead = 0;
    for (std::int64_t s; lead < end && (s = TagBlocks::at(w, lead, end)) > 0;) lead += s;

    std::int64_t junk = 0;
    std::int64_t pos = findStart(w, lead, end, junk);
    // An ID3v2 tag whose size runs past all the audio: look inside it.
    if (pos < 0 && lead > 0 && TagBlocks::id3v2(w, 0) > 0) {
        junk = 0;
        pos = findStart(w, 10, end, junk);
    }
    if (pos < 0) return std::nullopt;

    StreamInfo info;
    info.firstOffset = pos;
    info.apeTag = apeTag;
    if (const std::int64_t tag = TagBlocks::id3v2(w, 0); tag > 0 && tag <= pos) info.leadingId3v2 = {0, tag};
    completeFrame(w, pos, end, nullptr, info.first);
    info.vbrHeader = hasVbrTag(w, pos, info.first);

    // Count frames; on a gap (junk, an embedded tag, zeros) look for the next
    // place where the same stream goes on, confirmed by the frames that follow.
    // Frames of every channel mode belong to the stream.
    const FrameHeader like = info.first;
    bool vbrFrame = info.vbrHeader;
    std::int64_t chain = 0, longest = 0, stereo = 0;
    ByteRange run{pos, 0};
    FrameHeader h;
    while (pos < end) {
        if (completeFrame(w, pos, end, &like, h)) {
            if (!vbrFrame) {
                ++info.frames;
                info.audioBytes += h.frameBytes;
                stereo += h.channels == 2;
                ++chain;
            }
            vbrFrame = false;
            run.bytes += h.frameBytes;
            pos += h.frameBytes;
            continue;
        }
        longest = std::max(longest, chain);
        chain = 0;
        closeRun(info.runs, run);
        if (const std::int64_t tag = TagBlocks::at(w, pos, end); tag > 0) {
            pos += tag;
        } else {
            pos = overGap(w, pos, end, end, &like, junk);
        }
        run = {pos, 0};
    }
    longest = std::max(longest, chain);
    closeRun(info.runs, run);

    if (info.frames == 0) return std::nullopt; // a lone Xing frame holds no audio
    // Where no long chain proves the stream, frames must at least outweigh the
    // junk around them: frames found in random data cover only a sliver of it.
    if (longest < kProofFrames && info.audioBytes < junk) return std::nullopt;
    info.channels = stereo * 2 >= info.frames ? 2 : 1;
    return info;
}

} // namespace vbmp3
