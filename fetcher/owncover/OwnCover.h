#pragma once
// The cover the user already has for a track, found without the network.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velfetch::owncover {

// No more pictures than this are decoded for one track.
constexpr int kMaxPicturesTried = 8;

// A JPEG fitting the cover area, of the first picture that decodes: those
// embedded in the track's tags (EmbeddedPictures.h), then the files beside it
// (PicturesBeside.h). A picture that does not decode, is cut short or is too
// large is passed over for the next. Nothing when no picture serves, and none
// once kMaxPicturesTried pictures were tried or `until` has come.
std::optional<std::vector<std::uint8_t>>
FindOwnCover(const std::string& trackPath,
             std::chrono::steady_clock::time_point until = std::chrono::steady_clock::time_point::max());

} // namespace velfetch::owncover
