#include "ApeItems.h"

#include "ReadAt.h"
#include "TagBounds.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>

namespace veltag {
namespace {

constexpr std::size_t kFooterBytes = 32;
constexpr std::size_t kId3v1Bytes = 128;

bool readAll(int fd, std::uint8_t* to, std::size_t size, off_t offset) {
    return ReadAt(fd, to, size, offset) == size;
}

std::uint32_t littleEndian(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// The key in upper case when it is a valid key.
std::optional<std::string> validKey(std::span<const std::uint8_t> key) {
    if (key.size() < 2 || key.size() > 255) return std::nullopt;
    std::string upper;
    for (const std::uint8_t c : key) {
        if (c < 0x20 || c > 0x7E) return std::nullopt;
        upper += char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return upper;
}

} // namespace

ApeItems::ApeItems(int fd, std::size_t maxTagBytes) {
    struct stat file {};
    if (fstat(fd, &file) != 0 || file.st_size < off_t(kFooterBytes)) return;
    off_t end = file.st_size;
    std::uint8_t footer[kFooterBytes];
    if (end >= off_t(kId3v1Bytes) && readAll(fd, footer, 3, end - off_t(kId3v1Bytes)) &&
        std::equal(footer, footer + 3, "TAG"))
        end -= off_t(kId3v1Bytes);
    if (end < off_t(kFooterBytes) || !readAll(fd, footer, kFooterBytes, end - off_t(kFooterBytes)) ||
        !std::equal(footer, footer + 8, "APETAGEX"))
        return;
    // The tag's size counts its items and this footer, not a header before them.
    const std::size_t tagBytes = littleEndian(footer + 12), count = littleEndian(footer + 16);
    if (tagBytes <= kFooterBytes || tagBytes - kFooterBytes > maxTagBytes || off_t(tagBytes) > end) return;
    bytes_.resize(tagBytes - kFooterBytes);
    if (!readAll(fd, bytes_.data(), bytes_.size(), end - off_t(tagBytes))) return;

    // Item: value size, flags (bits 1-2: the type), key, NUL, value.
    const std::span<const std::uint8_t> all(bytes_);
    std::size_t at = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(count, kMaxTagEntries) && all.size() - at >= 11; ++i) {
        const std::size_t size = littleEndian(&all[at]), flags = littleEndian(&all[at + 4]);
        const auto nul = std::find(all.begin() + std::ptrdiff_t(at + 8), all.end(), 0);
        if (nul == all.end()) break;
        const std::size_t valueAt = std::size_t(nul - all.begin()) + 1;
        if (size > all.size() - valueAt) break; // runs past the tag
        auto key = validKey(all.subspan(at + 8, valueAt - 1 - (at + 8)));
        if (key)
            items_.push_back({std::move(*key), Type(flags >> 1 & 3), all.subspan(valueAt, size),
                              all.subspan(at, valueAt + size - at)});
        at = valueAt + size;
    }
}

const ApeItems::Item* ApeItems::last(std::string_view key) const {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it)
        if (it->key == key) return &*it;
    return nullptr;
}

} // namespace veltag
