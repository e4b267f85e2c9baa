#pragma once
// The runs of frames that FrameScanner found, read back to back as one
// stream: what libmpg123 decodes. Tags, junk and padding between and around
// them never reach the decoder, so it plays exactly the frames that were
// counted. Reads go through a buffer, a few large preads instead of two
// small reads per frame.
#include "FrameScanner.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vbmp3 {

class RunReader {
public:
    // fd must stay open as long as the reader is used.
    RunReader(int fd, std::vector<ByteRange> runs);

    std::int64_t size() const { return size_; }
    // Up to n bytes from the current position; 0 at the end, -1 on a read error.
    std::int64_t read(void* out, std::size_t n);
    // As lseek(2) does on the stream; -1, the position unchanged, outside it.
    std::int64_t seek(std::int64_t offset, int whence);

private:
    bool fill(std::int64_t at);

    static constexpr std::int64_t kBuffer = 64 * 1024;
    int fd_;
    std::vector<ByteRange> runs_;
    std::vector<std::int64_t> starts_; // each run's offset in the stream
    std::int64_t size_ = 0;
    std::int64_t pos_ = 0;
    std::vector<std::uint8_t> buf_;
    std::int64_t bufStart_ = 0, bufLen_ = 0;
};

} // namespace vbmp3
