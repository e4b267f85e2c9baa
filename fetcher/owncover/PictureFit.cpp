#include "PictureFit.h"

#include "CoverFit.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace velfetch::owncover {
namespace {

constexpr std::uint8_t kJpegStart[] = {0xFF, 0xD8, 0xFF};
constexpr std::uint8_t kPngStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

template <std::size_t N>
bool startsWith(std::span<const std::uint8_t> bytes, const std::uint8_t (&magic)[N]) {
    return bytes.size() >= N && std::equal(magic, magic + N, bytes.begin());
}

struct StbFree {
    void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

std::optional<std::vector<std::uint8_t>> fitPng(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > INT_MAX) return std::nullopt;
    const int length = static_cast<int>(bytes.size());
    int width = 0, height = 0, channels = 0;
    // The header first: a picture too large is refused before anything is decoded.
    if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels) || width < 1 || height < 1 ||
        (long long)width * height > kMaxPixels)
        return std::nullopt;
    const std::unique_ptr<stbi_uc, StbFree> rgba(
        stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 4));
    if (!rgba || (long long)width * height > kMaxPixels) return std::nullopt;

    // Transparent parts show the cover area's black.
    const std::size_t pixels = std::size_t(width) * height;
    std::vector<std::uint8_t> rgb(pixels * 3);
    const stbi_uc* in = rgba.get();
    for (std::size_t i = 0; i < pixels; ++i, in += 4)
        for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = static_cast<std::uint8_t>((in[c] * in[3] + 127) / 255);
    return opencatalog::FitPixels(rgb, width, height);
}

} // namespace

std::optional<std::vector<std::uint8_t>> FitPicture(std::span<const std::uint8_t> bytes) {
    if (startsWith(bytes, kJpegStart)) return opencatalog::FitCover(bytes);
    if (startsWith(bytes, kPngStart)) return fitPng(bytes);
    return std::nullopt;
}

} // namespace velfetch::owncover
