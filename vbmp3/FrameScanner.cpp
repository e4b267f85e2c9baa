#include "FrameScanner.h"

#include "FileHandle.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vbmp3 {
namespace {

// A sliding window over the file, refilled by large preads: a 100 MB file is
// read once, sequentially, and only frame headers are looked at.
class Window {
public:
    Window(int fd, std::int64_t size) : fd_(fd), size_(size), buf_(kSize) {}

    // n bytes at offset, or nullptr past the end of the file.
    const std::uint8_t* at(std::int64_t offset, int n) {
        if (offset < 0 || offset + n > size_) return nullptr;
        if (offset < start_ || offset + n > start_ + len_) {
            const auto want = static_cast<size_t>(std::min<std::int64_t>(kSize, size_ - offset));
            if (!readAt(fd_, buf_.data(), want, offset)) return nullptr;
            start_ = offset;
            len_ = static_cast<std::int64_t>(want);
        }
        return buf_.data() + (offset - start_);
    }

private:
    static constexpr size_t kSize = 1 << 20;
    int fd_;
    std::int64_t size_;
    std::vector<std::uint8_t> buf_;
    std::int64_t start_ = 0, len_ = 0;
};

std::optional<FrameHeader> headerAt(Window& w, std::int64_t pos) {
    const std::uint8_t* b = w.at(pos, 4);
    return b ? FrameHeader::parse(b) : std::nullopt;
}

// Size of an ID3v2 tag starting at pos, 0 when there is none.
std::int64_t id3v2Size(Window& w, std::int64_t pos) {
    const std::uint8_t* b = w.at(pos, 10);
    if (!b || std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF) return 0;
    for (int i = 6; i < 10; ++i)
        if (b[i] & 0x80) return 0;
    const std::int64_t body = (std::int64_t{b[6]} << 21) | (b[7] << 14) | (b[8] << 7) | b[9];
    return 10 + body + ((b[5] & 0x10) ? 10 : 0);
}

// A frame whose header is valid and which lies wholly before end.
bool completeFrame(Window& w, std::int64_t pos, std::int64_t end, const FrameHeader* like,
                   FrameHeader& out) {
    auto h = headerAt(w, pos);
    if (!h || (like && !h->sameStream(*like)) || pos + h->frameBytes > end) return false;
    out = *h;
    return true;
}

// Whether a stream starts at pos: kConfirmFrames frames back to back, or at
// least one whole frame whose chain runs exactly to the end of the audio or
// into a last frame cut short (a truncated file).
bool confirmed(Window& w, std::int64_t pos, std::int64_t end, const FrameHeader* like) {
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

bool hasVbrTag(Window& w, std::int64_t pos, const FrameHeader& h) {
    if (h.layer != 3) return false;
    const std::uint8_t* x = w.at(pos + h.xingOffset(), 4);
    if (x && (std::memcmp(x, "Xing", 4) == 0 || std::memcmp(x, "Info", 4) == 0)) return true;
    const std::uint8_t* v = w.at(pos + 36, 4);
    return v && std::memcmp(v, "VBRI", 4) == 0;
}

} // namespace

int StreamInfo::averageKbps() const {
    const double s = seconds();
    return s > 0 ? static_cast<int>(audioBytes * 8 / s / 1000 + 0.5) : first.bitrateKbps;
}

std::optional<StreamInfo> FrameScanner::scan(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    Window w(fd, st.st_size);

    std::int64_t end = st.st_size;
    if (const std::uint8_t* t = w.at(end - 128, 3); t && std::memcmp(t, "TAG", 3) == 0) end -= 128;

    std::int64_t pos = 0;
    for (std::int64_t s; pos < end && (s = id3v2Size(w, pos)) > 0;) pos += s;

    const std::int64_t audioStart = pos;
    const std::int64_t limit = std::min(end, pos + kSearchLimit);
    while (pos < limit && !confirmed(w, pos, end, nullptr)) ++pos;
    if (pos >= limit) return std::nullopt;

    StreamInfo info;
    info.firstOffset = pos;
    completeFrame(w, pos, end, nullptr, info.first);
    if (hasVbrTag(w, pos, info.first)) {
        info.vbrHeader = true;
        pos += info.first.frameBytes;
    }

    // Count frames; on a gap (junk, an embedded tag) look for the next place
    // where the same stream goes on, confirmed by the frames that follow.
    const FrameHeader like = info.first;
    FrameHeader h;
    while (pos < end) {
        if (completeFrame(w, pos, end, &like, h)) {
            ++info.frames;
            info.audioBytes += h.frameBytes;
            pos += h.frameBytes;
            continue;
        }
        if (auto s = id3v2Size(w, pos); s > 0) {
            pos += s;
            continue;
        }
        ++pos;
        while (pos < end && !confirmed(w, pos, end, &like)) ++pos;
    }
    if (info.frames == 0) return std::nullopt; // a lone Xing frame holds no audio
    // In an MP3 file the frames fill (nearly) all the space between the tags;
    // frames found in random data cover only a sliver of it.
    if (info.audioBytes * 2 < end - audioStart) return std::nullopt;
    return info;
}

} // namespace vbmp3
