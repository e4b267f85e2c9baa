#include "Records.h"

#include "AnsiCodec.h"

#include <algorithm>
#include <cstring>

namespace vel {
namespace {

void putInt(std::uint8_t* p, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

std::int32_t getInt(const std::uint8_t* p) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

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
    putText(b + offsets::Title, r.Title);
    putText(b + offsets::Artist, r.Artist);
    putText(b + offsets::Album, r.Album);
    putText(b + offsets::Year, r.Year);
    putText(b + offsets::Comment, r.Comment);
    std::fill(b + 517, b + 520, std::uint8_t(0));
    putInt(b + offsets::Genre, r.Genre);
    putText(b + offsets::GenreName, r.GenreName);
}

void getShort(const std::uint8_t* b, ShortTagRecord& r) {
    getText(b + offsets::Title, r.Title);
    getText(b + offsets::Artist, r.Artist);
    getText(b + offsets::Album, r.Album);
    getText(b + offsets::Year, r.Year);
    getText(b + offsets::Comment, r.Comment);
    r.Genre = getInt(b + offsets::Genre);
    getText(b + offsets::GenreName, r.GenreName);
}

} // namespace

TrackInfoBytes toBytes(const TrackInfo& r) {
    TrackInfoBytes b{};
    putText(b.data(), r.Text1);
    putText(b.data() + 128, r.Text2);
    putInt(b.data() + 256, r.Value3);
    putInt(b.data() + 260, r.Value4);
    putInt(b.data() + 264, r.Value5);
    putInt(b.data() + offsets::Length, r.Length);
    return b;
}

TagRecordBytes toBytes(const TagRecord& r) {
    TagRecordBytes b{};
    putShort(b.data(), r);
    putInt(b.data() + offsets::TrackNo, r.TrackNo);
    return b;
}

ShortTagRecordBytes toBytes(const ShortTagRecord& r) {
    ShortTagRecordBytes b{};
    putShort(b.data(), r);
    return b;
}

void fromBytes(const TrackInfoBytes& b, TrackInfo& r) {
    getText(b.data(), r.Text1);
    getText(b.data() + 128, r.Text2);
    r.Value3 = getInt(b.data() + 256);
    r.Value4 = getInt(b.data() + 260);
    r.Value5 = getInt(b.data() + 264);
    r.Length = getInt(b.data() + offsets::Length);
}

void fromBytes(const TagRecordBytes& b, TagRecord& r) {
    getShort(b.data(), r);
    r.TrackNo = getInt(b.data() + offsets::TrackNo);
}

void fromBytes(const ShortTagRecordBytes& b, ShortTagRecord& r) { getShort(b.data(), r); }

std::u16string CutAtNul(std::u16string_view text) {
    return std::u16string(text.substr(0, std::min(text.find(u'\0'), text.size())));
}

} // namespace vel
