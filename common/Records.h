#pragma once
// The three records exchanged with the decoder library, in program form, and
// their conversion to and from the library's byte form (little-endian, fixed offsets).
#include "FixedText.h"
#include "vbmp3_abi.h"

#include <array>
#include <cstdint>

namespace vel {

struct TrackInfo {
    FixedText<VBMP3_TEXT_WIDTH> Text1;   // filled by the library, not read
    FixedText<VBMP3_TEXT_WIDTH> Text2;   // filled by the library, not read
    std::int32_t Value3 = 0;
    std::int32_t Value4 = 0;
    std::int32_t Value5 = 0;
    std::int32_t Length = 0; // whole seconds
};

struct ShortTagRecord {
    FixedText<VBMP3_TEXT_WIDTH> Title;
    FixedText<VBMP3_TEXT_WIDTH> Artist;
    FixedText<VBMP3_TEXT_WIDTH> Album;
    FixedText<VBMP3_YEAR_WIDTH> Year;
    FixedText<VBMP3_TEXT_WIDTH> Comment;
    std::int32_t Genre = 0;
    FixedText<VBMP3_TEXT_WIDTH> GenreName;
};

struct TagRecord : ShortTagRecord {
    std::int32_t TrackNo = 0;
};

// Field offsets in the byte form, by the program form's names.
namespace offsets {
inline constexpr std::size_t Title = VBMP3_TAG_TITLE, Artist = VBMP3_TAG_ARTIST,
                             Album = VBMP3_TAG_ALBUM, Year = VBMP3_TAG_YEAR,
                             Comment = VBMP3_TAG_COMMENT, Genre = VBMP3_TAG_GENRE,
                             GenreName = VBMP3_TAG_GENRE_NAME, TrackNo = VBMP3_TAG_TRACK_NO;
inline constexpr std::size_t Length = VBMP3_INFO_LENGTH;
} // namespace offsets

using TrackInfoBytes = std::array<std::uint8_t, VBMP3_TRACK_INFO_SIZE>;
using TagRecordBytes = std::array<std::uint8_t, VBMP3_TAG_RECORD_SIZE>;
using ShortTagRecordBytes = std::array<std::uint8_t, VBMP3_SHORT_TAG_RECORD_SIZE>;

TrackInfoBytes toBytes(const TrackInfo& r);
TagRecordBytes toBytes(const TagRecord& r);
ShortTagRecordBytes toBytes(const ShortTagRecord& r);

void fromBytes(const TrackInfoBytes& b, TrackInfo& r);
void fromBytes(const TagRecordBytes& b, TagRecord& r);
void fromBytes(const ShortTagRecordBytes& b, ShortTagRecord& r);

// The text before the first NUL, or the whole text when it has none. No trimming.
std::u16string CutAtNul(std::u16string_view text);

} // namespace vel
