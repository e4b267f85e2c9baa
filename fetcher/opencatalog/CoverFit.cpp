#include "CoverFit.h"

#include <stb_image_resize.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace velfetch::opencatalog {
namespace {

constexpr long long kMaxPixels = 4LL << 20;
constexpr int kQuality = 90;

struct HandleDeleter {
    void operator()(void* h) const { tjDestroy(h); }
};
using Handle = std::unique_ptr<void, HandleDeleter>;

struct BufferDeleter {
    void operator()(unsigned char* b) const { tjFree(b); }
};

struct Header {
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
};

std::optional<Header> readHeader(tjhandle h, std::span<const std::uint8_t> bytes) {
    Header head;
    if (bytes.empty() ||
        tjDecompressHeader3(h, bytes.data(), static_cast<unsigned long>(bytes.size()), &head.width, &head.height,
                            &head.subsampling, &head.colorspace) != 0 ||
        head.width < 1 || head.height < 1)
        return std::nullopt;
    return head;
}

// The most reduced of libjpeg-turbo's decoding scales that still leaves at
// least the target size, so that large pictures never decode whole.
tjscalingfactor decodingScale(const Header& head, int width, int height) {
    tjscalingfactor best{1, 1};
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom) continue;
        if (TJSCALED(head.width, f) >= width && TJSCALED(head.height, f) >= height &&
            TJSCALED(head.width, f) < TJSCALED(head.width, best))
            best = f;
    }
    return best;
}

} // namespace

std::optional<PictureSize> JpegSize(std::span<const std::uint8_t> bytes) {
    const Handle decoder(tjInitDecompress());
    if (!decoder) return std::nullopt;
    const auto head = readHeader(decoder.get(), bytes);
    if (!head) return std::nullopt;
    return PictureSize{head->width, head->height};
}

std::optional<std::vector<std::uint8_t>> FitCover(std::span<const std::uint8_t> bytes, int maxWidth, int maxHeight) {
    const Handle decoder(tjInitDecompress());
    if (!decoder) return std::nullopt;
    const auto head = readHeader(decoder.get(), bytes);
    if (!head || (long long)head->width * head->height > kMaxPixels) return std::nullopt;

    const double scale = std::min({1.0, double(maxWidth) / head->width, double(maxHeight) / head->height});
    const int width = std::clamp(int(std::lround(head->width * scale)), 1, maxWidth);
    const int height = std::clamp(int(std::lround(head->height * scale)), 1, maxHeight);
    const tjscalingfactor factor = decodingScale(*head, width, height);
    const int decodedWidth = TJSCALED(head->width, factor), decodedHeight = TJSCALED(head->height, factor);

    // Decoding checks the whole picture even when the bytes are kept as they are.
    std::vector<unsigned char> pixels(std::size_t(decodedWidth) * decodedHeight * 3);
    if (tjDecompress2(decoder.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), pixels.data(),
                      decodedWidth, 0, decodedHeight, TJPF_RGB, 0) != 0 &&
        tjGetErrorCode(decoder.get()) == TJERR_FATAL)
        return std::nullopt;
    if (width == head->width && height == head->height) return std::vector<std::uint8_t>(bytes.begin(), bytes.end());

    std::vector<unsigned char> fitted(std::size_t(width) * height * 3);
    if (decodedWidth == width && decodedHeight == height) {
        fitted.swap(pixels);
    } else if (!stbir_resize_uint8_srgb(pixels.data(), decodedWidth, decodedHeight, 0, fitted.data(), width, height, 0,
                                        3, STBIR_ALPHA_CHANNEL_NONE, 0)) {
        return std::nullopt;
    }

    const Handle encoder(tjInitCompress());
    if (!encoder) return std::nullopt;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int failed =
        tjCompress2(encoder.get(), fitted.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, kQuality, 0);
    const std::unique_ptr<unsigned char, BufferDeleter> owner(jpeg);
    if (failed != 0 || !jpeg) return std::nullopt;
    return std::vector<std::uint8_t>(jpeg, jpeg + size);
}

std::optional<std::vector<std::uint8_t>> FitPixels(std::span<const std::uint8_t> rgb, int width, int height,
                                                   int maxWidth, int maxHeight) {
    if (width < 1 || height < 1 || rgb.size() != std::size_t(width) * height * 3) return std::nullopt;
    const double scale = std::min({1.0, double(maxWidth) / width, double(maxHeight) / height});
    const int fitWidth = std::clamp(int(std::lround(width * scale)), 1, maxWidth);
    const int fitHeight = std::clamp(int(std::lround(height * scale)), 1, maxHeight);
    const unsigned char* pixels = rgb.data();
    std::vector<unsigned char> scaled;
    if (fitWidth != width || fitHeight != height) {
        scaled.resize(std::size_t(fitWidth) * fitHeight * 3);
        if (!stbir_resize_uint8_srgb(rgb.data(), width, height, 0, scaled.data(), fitWidth, fitHeight, 0, 3,
                                     STBIR_ALPHA_CHANNEL_NONE, 0))
            return std::nullopt;
        pixels = scaled.data();
    }
    const Handle encoder(tjInitCompress());
    if (!encoder) return std::nullopt;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int failed = tjCompress2(encoder.get(), pixels, fitWidth, 0, fitHeight, TJPF_RGB, &jpeg, &size,
                                   TJSAMP_420, kQuality, 0);
    const std::unique_ptr<unsigned char, BufferDeleter> owner(jpeg);
    if (failed != 0 || !jpeg) return std::nullopt;
    return std::vector<std::uint8_t>(jpeg, jpeg + size);
}

} // namespace velfetch::opencatalog
