#include "Records.h"

#include "AnsiCodec.h"

#include <algorithm>
#include <cstring>

namespace vel {
namespace {

using vbmp3_abi::getInt;
using vbmp3_abi::putInt;

// Program text to its byte width: CP932, cut at the width (never inside a
// double-byte character; the freed byte becomes a blank), zero-padded only
// where the text itself ends in NUL characters.
template <std::size_t N>
void putText(std::uint8_t* p, const FixedText<N>& field) {
    std::string ansi = toAnsi(field.str());
    std::size_t n = ansiCutLength(ansi, N);
    std::memcpy(p, ansi.data(), n);
    std::fill(p + n, p + N, ansi.size() > n ? std::uint8_t(' ') : std::uint8_t(0));
}

// All N bytes decoded, NULs included, kept to at most N characters.
template <std::size_t N>
void getText(const std::uint8_t* p, FixedText<N>& field) {
    field.setRaw(fromAnsi(std::string_view(reinterpret_cast<const char*>(p), N)));
}

void putShort(std::uint8_t* b, const ShortTagRecord& r) {
    putText(b + VBMP3_TAG_TITLE, r.Title);
    putText(b + VBMP3_TAG_ARTIST, r.Artist);
    putText(b + VBMP3_TAG_ALBUM, r.Album);
    putText(b + VBMP3_TAG_YEAR, r.Year);
    putText(b + VBMP3_TAG_COMMENT, r.Comment);
    std::fill(b + VBMP3_TAG_FILLER, b + VBMP3_TAG_GENRE, std::uint8_t(0));
    putInt(b + VBMP3_TAG_GENRE, r.Genre);
    putText(b + VBMP3_TAG_GENRE_NAME, r.GenreName);
}

void getShort(const std::uint8_t* b, ShortTagRecord& r) {
    getText(b + VBMP3_TAG_TITLE, r.Title);
    getText(b + VBMP3_TAG_ARTIST, r.Artist);
    getText(b + VBMP3_TAG_ALBUM, r.Album);
    getText(b + VBMP3_TAG_YEAR, r.Year);
    getText(b + VBMP3_TAG_COMMENT, r.Comment);
    r.Genre = getInt(b + VBMP3_TAG_GENRE);
    getText(b + VBMP3_TAG_GENRE_NAME, r.GenreName);
}

} // namespace

TrackInfoBytes toBytes(const TrackInfo& r) {
    TrackInfoBytes b{};
    putText(b.data() + VBMP3_INFO_TEXT1, r.Text1);
    putText(b.data() + VBMP3_INFO_TEXT2, r.Text2);
    putInt(b.data() + VBMP3_INFO_VALUE3, r.Value3);
    putInt(b.data() + VBMP3_INFO_VALUE4, r.Value4);
    putInt(b.data() + VBMP3_INFO_VALUE5, r.Value5);
    putInt(b.data() + VBMP3_INFO_LENGTH, r.Length);
    return b;
}

TagRecordBytes toBytes(const TagRecord& r) {
    TagRecordBytes b{};
    putShort(b.data(), r);
    putInt(b.data() + VBMP3_TAG_TRACK_NO, r.TrackNo);
    return b;
}

ShortTagRecordBytes toBytes(const ShortTagRecord& r) {
    ShortTagRecordBytes b{};
    putShort(b.data(), r);
    return b;
}

void fromBytes(const TrackInfoBytes& b, TrackInfo& r) {
    getText(b.data() + VBMP3_INFO_TEXT1, r.Text1);
    getText(b.data() + VBMP3_INFO_TEXT2, r.Text2);
    r.Value3 = getInt(b.data() + VBMP3_INFO_VALUE3);
    r.Value4 = getInt(b.data() + VBMP3_INFO_VALUE4);
    r.Value5 = getInt(b.data() + VBMP3_INFO_VALUE5);
    r.Length = getInt(b.data() + VBMP3_INFO_LENGTH);
}

void fromBytes(const TagRecordBytes& b, TagRecord& r) {
    getShort(b.data(), r);
    r.TrackNo = getInt(b.data() + VBMP3_TAG_TRACK_NO);
}

void fromBytes(const ShortTagRecordBytes& b, ShortTagRecord& r) { getShort(b.data(), r); }

std::u16string CutAtNul(std::u16string_view text) {
    return std::u16string(text.substr(0, std::min(text.find(u'\0'), text.size())));
}

} // namespace vel
