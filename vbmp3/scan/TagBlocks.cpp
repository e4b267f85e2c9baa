#include "TagBlocks.h"

#include "FileWindow.h"

#include <cstring>

namespace vbmp3 {
namespace {

constexpr std::int64_t kApeHeader = 32, kId3v1 = 128, kId3v1Extended = 227;
constexpr std::int64_t kLyrics3v1Max = 5100 + 11 + 9; // lyrics, "LYRICSBEGIN", "LYRICSEND"

bool bytesAre(FileWindow& w, std::int64_t pos, const char* text) {
    const auto n = static_cast<std::int64_t>(std::strlen(text));
    const std::uint8_t* b = w.at(pos, n);
    return b && std::memcmp(b, text, static_cast<size_t>(n)) == 0;
}

std::uint32_t le32(const std::uint8_t* b) {
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

// A 10-byte ID3v2 header or footer with magic `id` at pos: the tag's size
// without header and footer, or -1.
std::int64_t id3v2Body(FileWindow& w, std::int64_t pos, const char* id, bool& footer) {
    const std::uint8_t* b = w.at(pos, 10);
    if (!b || std::memcmp(b, id, 3) != 0 || b[3] == 0xFF || b[4] == 0xFF) return -1;
    for (int i = 6; i < 10; ++i)
        if (b[i] & 0x80) return -1;
    footer = (b[5] & 0x10) != 0;
    return (std::int64_t{b[6]} << 21) | (b[7] << 14) | (b[8] << 7) | b[9];
}

// An APEv2 header (wantHeader) or footer at pos: the whole tag's size, or 0.
std::int64_t apeTag(FileWindow& w, std::int64_t pos, bool wantHeader) {
    const std::uint8_t* b = w.at(pos, kApeHeader);
    if (!b || std::memcmp(b, "APETAGEX", 8) != 0) return 0;
    const std::uint32_t version = le32(b + 8), size = le32(b + 12), flags = le32(b + 20);
    const bool isHeader = (flags & (1u << 29)) != 0, hasHeader = (flags & (1u << 31)) != 0;
    // The size counts the items and the footer, not the header.
    if ((version != 1000 && version != 2000) || isHeader != wantHeader || size < kApeHeader)
        return 0;
    return size + (hasHeader || wantHeader ? kApeHeader : 0);
}

// The tag block that ends exactly at end: its size, or 0.
std::int64_t blockBefore(FileWindow& w, std::int64_t end, bool& isApe) {
    if (bytesAre(w, end - kId3v1, "TAG"))
        return bytesAre(w, end - kId3v1 - kId3v1Extended, "TAG+") ? kId3v1 + kId3v1Extended : kId3v1;
    if (const std::int64_t ape = apeTag(w, end - kApeHeader, false); ape > 0 && ape <= end) {
        isApe = true;
        return ape;
    }
    bool footer = false;
    if (const std::int64_t body = id3v2Body(w, end - 10, "3DI", footer); body >= 0 && footer) {
        const std::int64_t size = body + 20;
        if (size <= end && TagBlocks::id3v2(w, end - size) == size) return size;
    }
    // Lyrics3 v2: "LYRICSBEGIN", fields, a 6-digit size of all that, "LYRICS200".
    if (bytesAre(w, end - 9, "LYRICS200")) {
        const std::uint8_t* d = w.at(end - 15, 6);
        std::int64_t size = 0;
        for (int i = 0; d && i < 6; ++i) {
            if (d[i] < '0' || d[i] > '9') return 0;
            size = size * 10 + (d[i] - '0');
        }
        if (d && size + 15 <= end && bytesAre(w, end - 15 - size, "LYRICSBEGIN")) return size + 15;
        return 0;
    }
    // Lyrics3 v1: "LYRICSBEGIN" up to 5100 bytes of lyrics "LYRICSEND".
    if (bytesAre(w, end - 9, "LYRICSEND")) {
        const std::int64_t from = end - kLyrics3v1Max > 0 ? end - kLyrics3v1Max : 0;
        const std::uint8_t* b = w.at(from, end - from);
        if (!b) return 0;
        for (std::int64_t i = end - from - 20; i >= 0; --i)
            if (std::memcmp(b + i, "LYRICSBEGIN", 11) == 0) return end - (from + i);
    }
    return 0;
}

} // namespace

std::int64_t TagBlocks::id3v2(FileWindow& w, std::int64_t pos) {
    bool footer = false;
    const std::int64_t body = id3v2Body(w, pos, "ID3", footer);
    return body < 0 ? 0 : 10 + body + (footer ? 10 : 0);
}

std::int64_t TagBlocks::at(FileWindow& w, std::int64_t pos, std::int64_t end) {
    if (pos >= end) return 0;
    std::int64_t size = 0;
    if (const std::uint8_t* b = w.at(pos, 1); b && *b == 'I') size = id3v2(w, pos);
    else if (b && *b == 'A') size = apeTag(w, pos, true);
    else if (b && *b == 'T' && bytesAre(w, pos, "TAG")) size = kId3v1;
    return size < end - pos ? size : end - pos;
}

std::int64_t TagBlocks::tailStart(FileWindow& w, std::int64_t end, bool* ape) {
    bool isApe = false;
    // Each block found moves end back by at least 10 bytes: this ends.
    for (std::int64_t size; end > 0 && (size = blockBefore(w, end, isApe)) > 0;) end -= size;
    if (ape) *ape = isApe;
    return end;
}

} // namespace vbmp3
