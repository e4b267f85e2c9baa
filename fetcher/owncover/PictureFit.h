#pragma once
// Fits a picture the user has (embedded in a tag or a file beside the track)
// to the cover area, as a JPEG.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velfetch::owncover {

// Pictures above this many pixels are no covers; FitCover holds JPEGs to the same bound.
constexpr long long kMaxPixels = 4LL << 20;

// A JPEG at most 364 x 179 of a JPEG or PNG picture (told apart by their
// signatures, whatever a tag or a file name claims). Nothing for other
// bytes, for a picture that does not decode and for one above kMaxPixels.
std::optional<std::vector<std::uint8_t>> FitPicture(std::span<const std::uint8_t> bytes);

} // namespace velfetch::owncover
