#include "TagFields.h"

#include "ApeItems.h"
#include "TagBounds.h"

#include <taglib/apeitem.h>
#include <taglib/apetag.h>

#include <charconv>
#include <string_view>

namespace vbmp3tags {
namespace {

// The items that decide a field (TagLib's accessors read the year and the
// track from these only, never from DATE or TRACKNUMBER).
struct Source {
    const char* item;
    Vbmp3TagKey key;
};
constexpr Source kSources[] = {
    {"TITLE", VBMP3_KEY_TITLE},     {"ARTIST", VBMP3_KEY_ARTIST}, {"ALBUM", VBMP3_KEY_ALBUM}, {"YEAR", VBMP3_KEY_DATE},
    {"COMMENT", VBMP3_KEY_COMMENT}, {"GENRE", VBMP3_KEY_GENRE},   {"TRACK", VBMP3_KEY_TRACK},
};

// The last item of that key, parsed by TagLib into a tag of its own; nullopt
// when there is none or it is too long to parse.
std::optional<TagLib::APE::Item> parsed(const veltag::ApeItems& tag, const char* key) {
    const auto* item = tag.last(key);
    if (!item || item->whole.size() > kMaxParsedBytes) return std::nullopt;
    TagLib::APE::Item parsed;
    parsed.parse(TagLib::ByteVector(reinterpret_cast<const char*>(item->whole.data()),
                                    static_cast<unsigned>(item->whole.size())));
    return parsed;
}

// A number as tags write it ("-6.20 dB", "+1.5", " 0.98"), in any locale.
std::optional<double> number(const veltag::ApeItems& tag, const char* key) {
    const auto item = parsed(tag, key);
    if (!item) return std::nullopt;
    const std::string text = item->toString().to8Bit(true);
    std::size_t from = text.find_first_not_of(' ');
    if (from != std::string::npos && text[from] == '+') ++from;
    if (from == std::string::npos) return std::nullopt;
    double value = 0;
    if (std::from_chars(text.data() + from, text.data() + text.size(), value).ec != std::errc()) return std::nullopt;
    return value;
}

} // namespace

Fields ApeFields(int fd) {
    const veltag::ApeItems tag(fd, veltag::kMaxTagBytes);
    Fields fields;
    for (const Source& s : kSources)
        if (const auto item = parsed(tag, s.item)) {
            TagLib::APE::Tag one;
            one.setItem(s.item, *item);
            fields[s.key] = AccessorField(one, s.key);
        }
    return fields;
}

std::optional<std::pair<double, double>> ApeTrackGain(int fd) {
    const veltag::ApeItems tag(fd, veltag::kMaxTagBytes);
    const auto gain = number(tag, "REPLAYGAIN_TRACK_GAIN");
    if (!gain) return std::nullopt;
    const auto peak = number(tag, "REPLAYGAIN_TRACK_PEAK");
    return std::pair{*gain, peak && *peak >= 0 ? *peak : 0.0};
}

} // namespace vbmp3tags
