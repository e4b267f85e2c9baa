#include "OtherTags.h"

#include "AnsiCodec.h"
#include "FileHandle.h"
#include "GenreNames.h"
#include "TagPlugin.h"

#include <fcntl.h>

namespace vbmp3 {
namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// The leading decimal number of s and the rest after it; -1 when s starts
// with no digit or the number is absurdly long.
int leadingNumber(std::string_view& s) {
    std::size_t n = 0;
    int value = 0;
    for (; n < s.size() && s[n] >= '0' && s[n] <= '9'; ++n) {
        if (n == 6) return -1;
        value = value * 10 + (s[n] - '0');
    }
    s.remove_prefix(n);
    return n == 0 ? -1 : value;
}

std::string cp932(const std::string& utf8) {
    std::u16string text = vel::utf8ToUtf16(utf8);
    // No character takes less than a byte: the rest could never fit.
    if (text.size() > OtherTags::kTextBytes) text.resize(OtherTags::kTextBytes);
    const std::string bytes = vel::toAnsi(text);
    return bytes.substr(0, vel::ansiCutLength(bytes, OtherTags::kTextBytes));
}

} // namespace

int OtherTags::genre(std::string_view text) {
    std::string_view s = trimmed(text);
    const bool bracketed = !s.empty() && s.front() == '(';
    std::string_view rest = bracketed ? s.substr(1) : s;
    const int n = leadingNumber(rest);
    if (n >= 0 && (bracketed ? !rest.empty() && rest.front() == ')' : rest.empty()))
        return GenreNames::name(n).empty() ? -1 : n;
    return GenreNames::number(s);
}

int OtherTags::track(std::string_view text) {
    std::string_view s = trimmed(text);
    const int n = leadingNumber(s);
    s = trimmed(s);
    return n >= 0 && (s.empty() || s.front() == '/') ? n : -1;
}

Id3v1Tag OtherTags::convert(const Fields& f) {
    Id3v1Tag t;
    t.title = cp932(f[VBMP3_KEY_TITLE]);
    t.artist = cp932(f[VBMP3_KEY_ARTIST]);
    t.album = cp932(f[VBMP3_KEY_ALBUM]);
    t.comment = cp932(f[VBMP3_KEY_COMMENT]);
    // "2024", "2024-05-01", "2024-05-01T12:00": the year leads.
    std::string_view date = trimmed(f[VBMP3_KEY_DATE]);
    std::string_view afterYear = date;
    if (leadingNumber(afterYear) >= 0 && date.size() - afterYear.size() == 4)
        t.year = std::string(date.substr(0, 4));
    t.genre = genre(f[VBMP3_KEY_GENRE]);
    t.track = track(f[VBMP3_KEY_TRACK]);
    return t;
}

std::optional<Id3v1Tag> OtherTags::read(const char* path) {
    const auto fields = readFields(path);
    if (!fields) return std::nullopt;
    return convert(*fields);
}

std::optional<OtherTags::Fields> OtherTags::readFields(const char* path) {
    FileHandle fd = openRegularFile(path, O_RDONLY);
    if (!fd) return std::nullopt;
    const Vbmp3TagRead readTag = TagPlugin::read();
    if (!readTag) return std::nullopt;
    Fields fields;
    const auto take = [](void* context, int key, const char* utf8, std::size_t length) {
        if (key >= 0 && key < VBMP3_KEYS) (*static_cast<Fields*>(context))[key].assign(utf8, length);
    };
    if (readTag(fd.get(), take, &fields) == 0) return std::nullopt;
    return fields;
}

} // namespace vbmp3
