#pragma once
// The fields of an MP3 file's ID3v2 and APEv2 tags, as the plug-in hands
// them over (TagPluginApi.h). Each is what TagLib's tag would answer for it,
// but read under the bounds of tagwalk/: only the frames and items that
// decide a field are parsed, one at a time, and none longer than 64 KiB, so
// that parsing one costs a few megabytes at most, however its text is split.
#include "TagPluginApi.h"

#include <taglib/tag.h>

#include <array>
#include <optional>
#include <string>
#include <utility>

namespace vbmp3tags {

// UTF-8, by Vbmp3TagKey; empty where the tag has no such field.
using Fields = std::array<std::string, VBMP3_KEYS>;

constexpr unsigned kMaxParsedBytes = 64 << 10;

// The ID3v2 tag at the start of the file open on fd (2.2 to 2.4).
Fields Id3v2Fields(int fd);
// The APEv2 tag at its end.
Fields ApeFields(int fd);
// The APEv2 tag's ReplayGain track gain (dB) and peak (0 when it has none).
std::optional<std::pair<double, double>> ApeTrackGain(int fd);

// A field as the tag's generic accessors give it (title(), year(), ...): the
// values of several joined by blanks, the year and the track as numbers, none
// for a year or track of 0.
std::string AccessorField(const TagLib::Tag& tag, int key);

} // namespace vbmp3tags
