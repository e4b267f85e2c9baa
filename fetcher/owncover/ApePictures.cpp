#include "ApePictures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// Read here rather than with TagLib: its APEv2 reader turns every text item
// into a list split at each NUL, which costs a hostile tag hundreds of bytes
// of memory per byte, and only binary cover items are wanted.
namespace velfetch::owncover {
namespace {

constexpr std::size_t kFooterBytes = 32;
constexpr std::size_t kId3v1Bytes = 128;
constexpr std::size_t kMaxItems = 4096;
constexpr std::string_view kFront = "COVER ART (FRONT)";

bool readAt(int fd, std::uint8_t* to, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, to, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        to += n, size -= std::size_t(n), offset += n;
    }
    return true;
}

std::uint32_t littleEndian(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// The key in upper case when it is a valid key (2 to 255 printable ASCII
// characters) of the form "Cover Art (...)".
std::optional<std::string> coverKey(std::span<const std::uint8_t> key) {
    if (key.size() < 2 || key.size() > 255) return std::nullopt;
    std::string upper;
    for (const std::uint8_t c : key) {
        if (c < 0x20 || c > 0x7E) return std::nullopt;
        upper += char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    if (!upper.starts_with("COVER ART (") || !upper.ends_with(')')) return std::nullopt;
    return upper;
}

} // namespace

ApeCovers::ApeCovers(int fd, std::size_t maxTagBytes, std::size_t keep) {
    struct stat file {};
    if (keep == 0 || fstat(fd, &file) != 0 || file.st_size < off_t(kFooterBytes)) return;
    off_t end = file.st_size;
    std::uint8_t footer[kFooterBytes];
    if (end >= off_t(kId3v1Bytes) && readAt(fd, footer, 3, end - off_t(kId3v1Bytes)) &&
        std::equal(footer, footer + 3, "TAG"))
        end -= off_t(kId3v1Bytes);
    if (end < off_t(kFooterBytes) || !readAt(fd, footer, kFooterBytes, end - off_t(kFooterBytes)) ||
        !std::equal(footer, footer + 8, "APETAGEX"))
        return;
    // The tag's size counts its items and this footer, not a header before them.
    const std::size_t tagBytes = littleEndian(footer + 12), count = littleEndian(footer + 16);
    if (tagBytes <= kFooterBytes || tagBytes - kFooterBytes > maxTagBytes || off_t(tagBytes) > end) return;
    items_.resize(tagBytes - kFooterBytes);
    if (!readAt(fd, items_.data(), items_.size(), end - off_t(tagBytes))) return;

    // Item: value size, flags (bits 1-2: 1 for binary), key, NUL, value.
    std::optional<std::span<const std::uint8_t>> front;
    std::map<std::string, std::span<const std::uint8_t>> others; // the first `keep` keys
    const std::span<const std::uint8_t> all(items_);
    std::size_t at = 0;
    for (std::size_t i = 0; i < std::min(count, kMaxItems) && items_.size() - at >= 11; ++i) {
        const std::size_t size = littleEndian(&items_[at]), flags = littleEndian(&items_[at + 4]);
        const auto nul = std::find(all.begin() + std::ptrdiff_t(at + 8), all.end(), 0);
        if (nul == all.end()) break;
        const std::size_t valueAt = std::size_t(nul - all.begin()) + 1;
        if (size > items_.size() - valueAt) break; // runs past the tag
        const auto key = coverKey(all.subspan(at + 8, valueAt - 1 - (at + 8)));
        auto value = all.subspan(valueAt, size);
        at = valueAt + size;
        if (!key || (flags >> 1 & 3) != 1) continue;
        // The value: a file name, a NUL and the picture.
        const auto name = std::find(value.begin(), value.end(), 0);
        value = name == value.end() ? value.last(0) : value.subspan(std::size_t(name - value.begin()) + 1);
        if (*key == kFront) {
            front = value;
            continue;
        }
        others.insert_or_assign(*key, value);
        if (others.size() > keep) others.erase(std::prev(others.end()));
    }
    if (front) pictures_.push_back(*front);
    for (const auto& [key, value] : others) pictures_.push_back(value);
    if (pictures_.size() > keep) pictures_.resize(keep);
}

} // namespace velfetch::owncover
