#include "RunReader.h"

#include "FileHandle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vbmp3 {

RunReader::RunReader(int fd, std::vector<ByteRange> runs)
    : fd_(fd), runs_(std::move(runs)), buf_(kBuffer) {
    starts_.reserve(runs_.size());
    for (const ByteRange& r : runs_) {
        starts_.push_back(size_);
        size_ += r.bytes;
    }
}

// Loads the buffer with the stream bytes from `at` on, across runs.
bool RunReader::fill(std::int64_t at) {
    bufStart_ = at;
    bufLen_ = 0;
    auto run = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), at) -
                                        starts_.begin()) - 1;
    const std::int64_t want = std::min(kBuffer, size_ - at);
    while (bufLen_ < want && run < runs_.size()) {
        const std::int64_t into = at + bufLen_ - starts_[run];
        const std::int64_t n = std::min(want - bufLen_, runs_[run].bytes - into);
        if (!readAt(fd_, buf_.data() + bufLen_, static_cast<size_t>(n), runs_[run].offset + into))
            return false;
        bufLen_ += n;
        ++run;
    }
    return true;
}

std::int64_t RunReader::read(void* out, std::size_t n) {
    auto* dst = static_cast<std::uint8_t*>(out);
    std::int64_t done = 0;
    while (done < static_cast<std::int64_t>(n) && pos_ < size_) {
        if (pos_ < bufStart_ || pos_ >= bufStart_ + bufLen_) {
            if (!fill(pos_)) return done > 0 ? done : -1;
        }
        const std::int64_t k =
            std::min(static_cast<std::int64_t>(n) - done, bufStart_ + bufLen_ - pos_);
        std::memcpy(dst + done, buf_.data() + (pos_ - bufStart_), static_cast<size_t>(k));
        done += k;
        pos_ += k;
    }
    return done;
}

std::int64_t RunReader::seek(std::int64_t offset, int whence) {
    const std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? pos_
                            : whence == SEEK_END ? size_ : -1;
    if (base < 0 || offset < -base || offset > size_ - base) return -1;
    pos_ = base + offset;
    return pos_;
}

} // namespace vbmp3
