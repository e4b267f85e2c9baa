#pragma once
// Tags other than ID3v1 (ID3v2, APEv2), read through the tag plug-in, in the
// form the tag record carries a tag: CP932 text cut to the record's widths
// (a character CP932 lacks becomes '?'), the ID3v1 genre number, a plain
// track number. They are only read: a save writes an ID3v1 tag.
#include "Id3v1.h"
#include "TagPluginApi.h"

#include <array>
#include <optional>
#include <string>

namespace vbmp3 {

class OtherTags {
public:
    using Fields = std::array<std::string, VBMP3_KEYS>; // UTF-8, by Vbmp3TagKey

    // Text bytes a record field holds (its width less the closing NUL).
    static constexpr std::size_t kTextBytes = 127;

    // The file's ID3v2 or APEv2 tag; nullopt when it has none with any of
    // the fields, is no regular file, or the plug-in is missing.
    static std::optional<Id3v1Tag> read(const char* path);
    // The same tag's fields as it has them (UTF-8).
    static std::optional<Fields> readFields(const char* path);

    static Id3v1Tag convert(const Fields& fields);
    // The genre number of "Rock", "rock", "17" or "(17)"; -1 when the
    // genre is none of the standard ones.
    static int genre(std::string_view text);
    // The number before any "/" ("3/12" is 3); -1 when there is none.
    static int track(std::string_view text);
};

} // namespace vbmp3
