#pragma once
// The iTunes Search API of the Japan store: one song search, artwork addresses.
#include "TrackWords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velfetch::opencatalog {

// A field that may have been cut is asked for without its last word.
std::string ITunesSearchUrl(const TrackWords& words);

// The artwork of the songs the words accept ("artistName", "trackName"), at
// most `limit`, each asked for at 160 x 160 px (the "100x100bb" of
// "artworkUrl100" rewritten) over https (an http:// address is upgraded).
// Exact matches come before those of a cut field, then songs of the tag's
// album ("collectionName"), else the reply's order.
// Empty for a reply that is no JSON.
std::vector<std::string> ChooseArtwork(std::span<const std::uint8_t> reply, const TrackWords& words, std::size_t limit);

} // namespace velfetch::opencatalog
