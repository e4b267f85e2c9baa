#pragma once
// TagRecord byte form as the programs build it: text blank-padded to the field
// width, GenreName all zero; and the reading of fields the library filled.
#include "vbmp3_abi.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>

namespace vbmp3test {

struct TagFields {
    std::string title, artist, album, year, comment;
    std::int32_t genre = -1;
    std::int32_t track = -1;
};

using TagBytes = std::array<std::uint8_t, 656>;

inline void putPadded(TagBytes& b, std::size_t at, std::size_t width, const std::string& s) {
    std::memset(b.data() + at, ' ', width);
    std::memcpy(b.data() + at, s.data(), std::min(s.size(), width));
}

inline void putInt(std::uint8_t* p, std::int32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
}

inline std::int32_t getInt(const std::uint8_t* p) {
    return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24);
}

inline TagBytes toRecord(const TagFields& f) {
    TagBytes b{};
    putPadded(b, 0, 128, f.title);
    putPadded(b, 128, 128, f.artist);
    putPadded(b, 256, 128, f.album);
    putPadded(b, 384, 5, f.year);
    putPadded(b, 389, 128, f.comment);
    putInt(b.data() + 520, f.genre);
    putInt(b.data() + 652, f.track);
    return b;
}

// A text field as the library left it: must end with a NUL inside the field.
inline std::string text(const TagBytes& b, std::size_t at, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(b.data()) + at;
    const std::size_t n = strnlen(p, width);
    return n < width ? std::string(p, n) : std::string("<no NUL>");
}

inline TagFields fromRecord(const TagBytes& b) {
    return {text(b, 0, 128),   text(b, 128, 128),          text(b, 256, 128),
            text(b, 384, 5),   text(b, 389, 128),          getInt(b.data() + 520),
            getInt(b.data() + 652)};
}

inline bool operator==(const TagFields& a, const TagFields& b) {
    return a.title == b.title && a.artist == b.artist && a.album == b.album && a.year == b.year &&
           a.comment == b.comment && a.genre == b.genre && a.track == b.track;
}

inline std::ostream& operator<<(std::ostream& os, const TagFields& f) {
    return os << '[' << f.title << '|' << f.artist << '|' << f.album << '|' << f.year << '|'
              << f.comment << '|' << f.genre << '|' << f.track << ']';
}

// A file's tag through the C interface; nothing when the library reports none.
inline std::optional<TagFields> readTag(const std::string& path) {
    TagBytes b;
    b.fill(0xAA);
    if (vbmp3_getFileTagInfoEX(path.c_str(), b.data()) == 0) return std::nullopt;
    return fromRecord(b);
}

inline int writeTag(const std::string& path, const TagFields& f) {
    TagBytes b = toRecord(f);
    return vbmp3_setTagInfoEX(path.c_str(), b.data(), 1, 1);
}

} // namespace vbmp3test
