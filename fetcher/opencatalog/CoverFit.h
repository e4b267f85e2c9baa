#pragma once
// Makes a downloaded cover fit the player's cover area, which never scales.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velfetch::opencatalog {

constexpr int kCoverWidth = 364; // the player's cover area
constexpr int kCoverHeight = 179;

struct PictureSize {
    int width = 0;
    int height = 0;
};

// The size of a JPEG picture as its header states it; nothing for other bytes.
std::optional<PictureSize> JpegSize(std::span<const std::uint8_t> bytes);

// A JPEG at most maxWidth x maxHeight of the JPEG in `bytes`: the bytes
// themselves when the picture fits already, otherwise the picture scaled down
// to fit (aspect kept) and encoded anew. Nothing when `bytes` is no picture
// that decodes, or one too large to be a cover (above 4 megapixels).
std::optional<std::vector<std::uint8_t>> FitCover(std::span<const std::uint8_t> bytes, int maxWidth = kCoverWidth,
                                                  int maxHeight = kCoverHeight);

// A JPEG at most maxWidth x maxHeight of a picture already decoded: `rgb`
// holds width x height pixels of three bytes, row after row. Scaled down to
// fit (aspect kept), never up. Nothing when `rgb` is not that size.
std::optional<std::vector<std::uint8_t>> FitPixels(std::span<const std::uint8_t> rgb, int width, int height,
                                                   int maxWidth = kCoverWidth, int maxHeight = kCoverHeight);

} // namespace velfetch::opencatalog
