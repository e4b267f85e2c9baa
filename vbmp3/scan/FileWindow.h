#pragma once
// A sliding window over a file, refilled by large preads: a 100 MB file is
// read once, sequentially, and the scanners look only at the bytes they need.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vbmp3 {

class FileWindow {
public:
    static constexpr std::int64_t kSize = 1 << 20;

    FileWindow(int fd, std::int64_t size)
        : fd_(fd), size_(size), buf_(static_cast<std::size_t>(size < 0 ? 0 : size < kSize ? size : kSize)) {}

    std::int64_t size() const { return size_; }

    // n bytes (n <= kSize) at offset, or nullptr when they are not all in the
    // file or cannot be read. Valid until the next call.
    const std::uint8_t* at(std::int64_t offset, std::int64_t n);

    // The bytes from offset to the end of the window, at least one and at most
    // up to limit; count 0 at or past limit or on a read error.
    struct Run {
        const std::uint8_t* data = nullptr;
        std::int64_t count = 0;
    };
    Run from(std::int64_t offset, std::int64_t limit);

private:
    int fd_;
    std::int64_t size_;
    std::vector<std::uint8_t> buf_;
    std::int64_t start_ = 0, len_ = 0;
};

} // namespace vbmp3
