#pragma once
// The 128-byte ID3v1 tag at the end of an MP3 file: versions 1.0 and 1.1
// (a track number in the last comment byte). Text is kept as raw bytes in the
// ANSI code page (CP932); nothing here converts it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vbmp3 {

struct Id3v1Tag {
    std::string title, artist, album, year, comment;
    int genre = -1; // -1: none (255 in the file)
    int track = -1; // -1: version 1.0, no track number
};

class Id3v1 {
public:
    using Bytes = std::array<std::uint8_t, 128>;

    // The tag of the file, nullopt when the file is missing or has none.
    static std::optional<Id3v1Tag> read(const char* path);
    // Replaces the file's tag or appends one. False, the file untouched, when
    // the file is missing, read-only or not writable, or the tag cannot be stored.
    static bool write(const char* path, const Id3v1Tag& tag);

    static Id3v1Tag decode(const Bytes& raw);
    // nullopt when a number is out of range: genre -1..255, track -1 or 0..255.
    static std::optional<Bytes> encode(const Id3v1Tag& tag);

    // Text cut to width bytes without splitting a CP932 double-byte
    // character, trailing blanks dropped.
    static std::string fit(std::string_view text, std::size_t width);
};

} // namespace vbmp3
