#pragma once
// The three records exchanged with the decoder library, in program form, and
// their conversion to and from the library's byte form (little-endian, fixed offsets).
#include "FixedText.h"

#include <array>
#include <cstdint>

namespace vel {

struct TrackInfo {
    FixedText<128> Text1;   // filled by the library, not read
    FixedText<128> Text2;   // filled by the library, not read
    std::int32_t Value3 = 0;
    std::int32_t Value4 = 0;
    std::int32_t Value5 = 0;
    std::int32_t Length = 0; // whole seconds
};

struct ShortTagRecord {
    FixedText<128> Title;
    FixedText<128> Artist;
    FixedText<128> Album;
    FixedText<5> Year;
    FixedText<128> Comment;
    std::int32_t Genre = 0;
    FixedText<128> GenreName;
};

struct TagRecord : ShortTagRecord {
    std::int32_t TrackNo = 0;
};

constexpr std::size_t kTrackInfoSize = 272;
constexpr std::size_t kShortTagRecordSize = 652;
constexpr std::size_t kTagRecordSize = 656;

namespace offsets {
constexpr std::size_t Title = 0, Artist = 128, Album = 256, Year = 384, Comment = 389,
                      Genre = 520, GenreName = 524, TrackNo = 652;
constexpr std::size_t Length = 268;
} // namespace offsets

using TrackInfoBytes = std::array<std::uint8_t, kTrackInfoSize>;
using TagRecordBytes = std::array<std::uint8_t, kTagRecordSize>;
using ShortTagRecordBytes = std::array<std::uint8_t, kShortTagRecordSize>;

TrackInfoBytes toBytes(const TrackInfo& r);
TagRecordBytes toBytes(const TagRecord& r);
ShortTagRecordBytes toBytes(const ShortTagRecord& r);

void fromBytes(const TrackInfoBytes& b, TrackInfo& r);
void fromBytes(const TagRecordBytes& b, TagRecord& r);
void fromBytes(const ShortTagRecordBytes& b, ShortTagRecord& r);

// The text before the first NUL, or the whole text when it has none. No trimming.
std::u16string CutAtNul(std::u16string_view text);

} // namespace vel
