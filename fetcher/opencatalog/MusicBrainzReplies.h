#pragma once
// Reading the JSON replies of the MusicBrainz web service (version 2).
#include "TrackWords.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velfetch::opencatalog {

struct ChosenRelease {
    std::string id;
    std::string groupId; // its release group's; empty when the reply gave none usable

    bool operator==(const ChosenRelease&) const = default;
};

// From a recording search: the releases of the recordings that the words
// accept, best first, each once, at most `limit`. Better is, in this order:
// a recording whose names equal the tag's, then one a cut field begins (those
// adding less first); official; titled as the tag's album, then beginning
// with a cut album; an album, then an album of live or other recordings, then
// a single or EP, then a compilation, then anything else; released in Japan;
// released earlier (a release without a date last). Nothing when the reply is
// no JSON object.
std::optional<std::vector<ChosenRelease>> ChooseReleases(std::span<const std::uint8_t> reply, const TrackWords& words,
                                                         std::size_t limit);

struct ReleaseInfo {
    bool front = false; // the Cover Art Archive holds a front cover
    std::string asin;   // ten letters or digits; empty when the release has none
};

// From a release lookup; nothing when the reply is no JSON object. An "asin"
// that is not ten capital letters or digits counts as none: it goes into a
// store address.
std::optional<ReleaseInfo> ReadRelease(std::span<const std::uint8_t> reply);

// An ASIN as a store address takes it: ten capital letters or digits.
bool IsAsin(std::string_view text);

// A release (or release group) identifier as the service writes them (a
// lower-case UUID); no other text goes into a request path.
bool IsReleaseId(const std::string& text);

} // namespace velfetch::opencatalog
