#include "GainTag.h"

#include "ReadAt.h"
#include "TagBounds.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace vbmp3 {
namespace {

constexpr std::size_t kHeaderBytes = 10;
constexpr std::size_t kChunkBytes = 64 << 10;

bool idCharacter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// A frame name libmpg123 lists the frame under, `length` letters long.
bool listedFrame(const unsigned char* id, std::size_t length) {
    const std::string_view name(reinterpret_cast<const char*>(id), length);
    if (name == "COMM" || name == "USLT" || name == "COM" || name == "ULT") return true;
    return id[0] == 'T' && std::all_of(id + 1, id + length, idCharacter);
}

} // namespace

bool GainTag::cheapEnough(int fd, const ByteRange& tag) {
    if (tag.bytes < std::int64_t(kHeaderBytes) || std::uint64_t(tag.bytes) > veltag::kMaxTagBytes) return false;
    unsigned char header[kHeaderBytes];
    if (veltag::ReadAt(fd, header, kHeaderBytes, tag.offset) != kHeaderBytes) return false;
    const std::size_t idLength = header[3] == 2 ? 3 : 4;
    // Each chunk carries the last bytes of the one before, where a name may begin.
    std::vector<unsigned char> chunk(idLength - 1 + kChunkBytes);
    std::size_t carried = 0;
    unsigned listed = 0;
    const std::int64_t end = tag.offset + tag.bytes;
    for (std::int64_t at = tag.offset + std::int64_t(kHeaderBytes); at < end;) {
        const std::size_t got = veltag::ReadAt(fd, chunk.data() + carried,
                                               std::min<std::int64_t>(std::int64_t(kChunkBytes), end - at), at);
        if (got == 0) break;
        at += std::int64_t(got);
        const std::size_t size = carried + got;
        for (std::size_t p = 0; p + idLength <= size; ++p)
            if (listedFrame(&chunk[p], idLength) && ++listed > veltag::kMaxTagEntries) return false;
        carried = std::min(size, idLength - 1);
        std::memmove(chunk.data(), chunk.data() + size - carried, carried);
    }
    return true;
}

} // namespace vbmp3
