#pragma once
// The iTunes Search API of the Japan store: one song search, artwork addresses.
#include "TrackWords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velfetch::opencatalog {

std::string ITunesSearchUrl(const TrackWords& words);

// The artwork of the songs the words accept ("artistName", "trackName"), in
// the reply's order, at most `limit`, each asked for at 160 x 160 px (the
// "100x100bb" of "artworkUrl100" rewritten). Empty for a reply that is no JSON.
std::vector<std::string> ChooseArtwork(std::span<const std::uint8_t> reply, const TrackWords& words, std::size_t limit);

} // namespace velfetch::opencatalog
