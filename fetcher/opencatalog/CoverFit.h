#pragma once
// Makes a downloaded cover fit the player's cover area, which never scales.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velfetch::opencatalog {

constexpr int kCoverWidth = 364; // the player's cover area
constexpr int kCoverHeight = 179;
// Pictures above this many pixels are no covers.
constexpr long long kMaxPixels = 4LL << 20;
// Scans a picture may take to decode: encoders write about ten, a hostile
// file can hold millions, each one a pass over the whole picture.
constexpr int kMaxScans = 100;

struct PictureSize {
    int width = 0;
    int height = 0;
};

// The size of a JPEG picture as its header states it; nothing for other bytes.
std::optional<PictureSize> JpegSize(std::span<const std::uint8_t> bytes);

// A JPEG at most maxWidth x maxHeight of the JPEG in `bytes`:
// - the picture's own bytes (up to its end marker) when it fits already and
//   decodes whole, without a warning, and is in RGB or grey;
// - otherwise the picture, decoded as far as its data goes (a cut or damaged
//   one) or in printing inks (CMYK or YCCK, made RGB), scaled down to fit
//   (aspect kept) if need be and encoded anew.
// Nothing when `bytes` is no picture that decodes, one cut before its first
// row, one too large to be a cover (above 4 megapixels), or one that needs
// more than kMaxScans scans or is not decoded by `until`.
std::optional<std::vector<std::uint8_t>>
FitCover(std::span<const std::uint8_t> bytes, int maxWidth = kCoverWidth, int maxHeight = kCoverHeight,
         std::chrono::steady_clock::time_point until = std::chrono::steady_clock::time_point::max());

// A JPEG at most maxWidth x maxHeight of a picture already decoded: `rgb`
// holds width x height pixels of three bytes, row after row. Scaled down to
// fit (aspect kept), never up. Nothing when `rgb` is not that size.
std::optional<std::vector<std::uint8_t>> FitPixels(std::span<const std::uint8_t> rgb, int width, int height,
                                                   int maxWidth = kCoverWidth, int maxHeight = kCoverHeight);

} // namespace velfetch::opencatalog
