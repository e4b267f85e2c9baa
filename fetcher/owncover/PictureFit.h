#pragma once
// Fits a picture the user has (embedded in a tag or a file beside the track)
// to the cover area, as a JPEG.
#include "PicturePlugin.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velfetch::owncover {

// A JPEG at most 364 x 179 of a JPEG or PNG picture (told apart by their
// signatures, whatever a tag or a file name claims; PNG pictures decoded by
// `readers`). Nothing for other bytes, for a picture larger than a download
// may be, one that does not decode or is above kMaxPixels (CoverFit.h), and
// one not decoded by `until`.
std::optional<std::vector<std::uint8_t>>
FitPicture(std::span<const std::uint8_t> bytes,
           std::chrono::steady_clock::time_point until = std::chrono::steady_clock::time_point::max(),
           const PictureReaders& readers = PluginReaders());

} // namespace velfetch::owncover
