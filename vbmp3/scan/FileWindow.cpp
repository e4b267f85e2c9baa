#include "FileWindow.h"

#include "FileHandle.h"

#include <algorithm>

namespace vbmp3 {

const std::uint8_t* FileWindow::at(std::int64_t offset, std::int64_t n) {
    if (offset < 0 || n < 0 || n > kSize || offset > size_ - n) return nullptr;
    if (offset < start_ || offset + n > start_ + len_) {
        const std::int64_t want = std::min(kSize, size_ - offset);
        if (!readAt(fd_, buf_.data(), static_cast<size_t>(want), offset)) {
            len_ = 0;
            return nullptr;
        }
        start_ = offset;
        len_ = want;
    }
    return buf_.data() + (offset - start_);
}

FileWindow::Run FileWindow::from(std::int64_t offset, std::int64_t limit) {
    limit = std::min(limit, size_);
    if (offset >= limit) return {};
    const std::uint8_t* p = at(offset, 1);
    if (!p) return {};
    return {p, std::min(start_ + len_, limit) - offset};
}

} // namespace vbmp3
