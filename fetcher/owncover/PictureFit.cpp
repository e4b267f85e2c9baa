#include "PictureFit.h"

#include "CoverFit.h"
#include "HttpSettings.h"

#include <algorithm>

namespace velfetch::owncover {
namespace {

constexpr std::uint8_t kJpegStart[] = {0xFF, 0xD8, 0xFF};
constexpr std::uint8_t kPngStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

template <std::size_t N>
bool startsWith(std::span<const std::uint8_t> bytes, const std::uint8_t (&magic)[N]) {
    return bytes.size() >= N && std::equal(magic, magic + N, bytes.begin());
}

// Where the plug-in decodes a PNG picture to.
struct Decoded {
    std::vector<std::uint8_t> rgb;
    int width = 0, height = 0;

    static unsigned char* pixels(void* context, int width, int height) {
        auto& self = *static_cast<Decoded*>(context);
        try {
            self.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
        } catch (...) {
            return nullptr;
        }
        self.width = width;
        self.height = height;
        return self.rgb.data();
    }
};

std::optional<std::vector<std::uint8_t>> fitPng(std::span<const std::uint8_t> bytes,
                                                std::chrono::steady_clock::time_point until, VelPngDecode decode) {
    if (!decode) return std::nullopt;
    Decoded decoded;
    const long long untilNs = std::chrono::nanoseconds(until.time_since_epoch()).count();
    if (!decode(bytes.data(), bytes.size(), opencatalog::kMaxPixels, untilNs, &Decoded::pixels, &decoded))
        return std::nullopt;
    return opencatalog::FitPixels(decoded.rgb, decoded.width, decoded.height);
}

} // namespace

std::optional<std::vector<std::uint8_t>> FitPicture(std::span<const std::uint8_t> bytes,
                                                    std::chrono::steady_clock::time_point until,
                                                    const PictureReaders& readers) {
    if (bytes.size() > kMaxDownloadBytes) return std::nullopt;
    if (startsWith(bytes, kJpegStart))
        return opencatalog::FitCover(bytes, opencatalog::kCoverWidth, opencatalog::kCoverHeight, until);
    if (startsWith(bytes, kPngStart)) return fitPng(bytes, until, readers.png);
    return std::nullopt;
}

} // namespace velfetch::owncover
