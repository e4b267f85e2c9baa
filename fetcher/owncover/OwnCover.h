#pragma once
// The cover the user already has for a track, found without the network.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velfetch::owncover {

// Picture files larger than this are not read (no cover of at most 4
// megapixels needs more).
constexpr std::size_t kMaxPictureFileBytes = 32u << 20;

// A JPEG fitting the cover area, of the first picture that decodes: those
// embedded in the track's tags (EmbeddedPictures.h), then the files beside it
// (PicturesBeside.h). A picture that does not decode, is cut short or is too
// large is passed over for the next. Nothing when no picture serves.
std::optional<std::vector<std::uint8_t>> FindOwnCover(const std::string& trackPath);

} // namespace velfetch::owncover
