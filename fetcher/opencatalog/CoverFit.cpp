#include "CoverFit.h"

#include <stb_image_resize.h>
#include <turbojpeg.h>

#include <cstdio> // before jpeglib.h, which uses FILE
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <memory>

namespace velfetch::opencatalog {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kQuality = 90;
// A fitting picture larger than this carries mostly other data (comments,
// embedded thumbnails): it is encoded anew rather than copied whole.
constexpr std::size_t kMaxKeptBytes = std::size_t(1) << 20;

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

// A row of CMYK pixels as RGB. Adobe's programs write the inks inverted
// (0: full ink) and mark their files so; unmarked files hold them as they are.
void inksToRgb(const unsigned char* cmyk, unsigned char* rgb, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        const int light = inverted ? cmyk[3] : 255 - cmyk[3];
        for (int c = 0; c < 3; ++c)
            rgb[c] = static_cast<unsigned char>(((inverted ? cmyk[c] : 255 - cmyk[c]) * light + 127) / 255);
    }
}

// One picture decoded with libjpeg's own interface, which, unlike the
// TurboJPEG one, lets a progress monitor stop a decoding that takes too many
// scans or too long, and tells where a picture's data ended.
class Decoder {
public:
    explicit Decoder(SteadyClock::time_point until) : until_(until) {
        info_.err = jpeg_std_error(&errors_);
        errors_.error_exit = fail;
        errors_.emit_message = note;
        progress_.progress_monitor = watch;
    }
    ~Decoder() { jpeg_destroy_decompress(&info_); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Reads the header; false when `bytes` is no JPEG picture.
    bool open(std::span<const std::uint8_t> bytes) {
        size_ = bytes.size();
        info_.client_data = this; // kept by jpeg_create_decompress, which may already fail
        return !bytes.empty() && guarded([&] {
            jpeg_create_decompress(&info_);
            info_.progress = &progress_;
            jpeg_mem_src(&info_, bytes.data(), static_cast<unsigned long>(bytes.size()));
            jpeg_read_header(&info_, TRUE);
        });
    }
    int width() const { return int(info_.image_width); }
    int height() const { return int(info_.image_height); }

    // Decodes to RGB at `scale`; nothing when the picture cannot be decoded,
    // is cut before its first row, or passes the scan or time limit.
    std::optional<std::vector<unsigned char>> decode(tjscalingfactor scale, int& outWidth, int& outHeight) {
        info_.scale_num = unsigned(scale.num);
        info_.scale_denom = unsigned(scale.denom);
        // libjpeg turns YCCK into CMYK itself, but neither into RGB.
        const bool inks = printInks();
        info_.out_color_space = inks ? JCS_CMYK : JCS_RGB;
        if (!guarded([&] { jpeg_start_decompress(&info_); })) return std::nullopt;
        outWidth = int(info_.output_width);
        outHeight = int(info_.output_height);
        const std::size_t stride = std::size_t(outWidth) * 3;
        std::vector<unsigned char> pixels(stride * std::size_t(outHeight));
        std::vector<unsigned char> inkRow(inks ? std::size_t(outWidth) * 4 : 0);
        unsigned char* base = pixels.data();
        const bool inverted = info_.saw_Adobe_marker;
        if (!guarded([&] {
                while (info_.output_scanline < info_.output_height) {
                    unsigned char* rgb = base + stride * info_.output_scanline;
                    JSAMPROW row = inks ? inkRow.data() : rgb;
                    jpeg_read_scanlines(&info_, &row, 1);
                    if (inks) inksToRgb(row, rgb, outWidth, inverted);
                }
                jpeg_finish_decompress(&info_);
            }) ||
            cutBeforeFirstRow_)
            return std::nullopt;
        return pixels;
    }
    // Decoded without a warning, up to its own end marker.
    bool whole() const { return errors_.num_warnings == 0; }
    // A picture in printing inks (CMYK, or YCCK), which few programs show.
    bool printInks() const { return info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK; }
    // The bytes up to the end marker (after a whole decoding).
    std::size_t pictureBytes() const { return size_ - info_.src->bytes_in_buffer; }

private:
    // Runs libjpeg calls; false when libjpeg gave up or a limit was passed:
    // both jump back here. `calls` holds nothing that needs destroying.
    template <class Calls> bool guarded(Calls&& calls) {
        if (setjmp(jump_)) return false;
        calls();
        return true;
    }
    static Decoder& of(j_common_ptr info) { return *static_cast<Decoder*>(info->client_data); }
    [[noreturn]] static void fail(j_common_ptr info) { std::longjmp(of(info).jump_, 1); }
    static void note(j_common_ptr info, int level) {
        if (level >= 0) return; // trace messages
        Decoder& d = of(info);
        ++d.errors_.num_warnings;
        // The data ended before the first row of blocks was read: nothing of the picture is there.
        const auto* in = reinterpret_cast<j_decompress_ptr>(info);
        if (d.errors_.msg_code == JWRN_JPEG_EOF && in->input_scan_number <= 1 && in->input_iMCU_row == 0)
            d.cutBeforeFirstRow_ = true;
    }
    static void watch(j_common_ptr info) {
        Decoder& d = of(info);
        if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans || SteadyClock::now() >= d.until_)
            std::longjmp(d.jump_, 1);
    }

    SteadyClock::time_point until_;
    jpeg_decompress_struct info_{};
    jpeg_error_mgr errors_{};
    jpeg_progress_mgr progress_{};
    std::jmp_buf jump_{};
    std::size_t size_ = 0;
    bool cutBeforeFirstRow_ = false;
};

} // namespace

std::optional<PictureSize> JpegSize(std::span<const std::uint8_t> bytes) {
    const Handle decoder(tjInitDecompress());
    if (!decoder) return std::nullopt;
    const auto head = readHeader(decoder.get(), bytes);
    if (!head) return std::nullopt;
    return PictureSize{head->width, head->height};
}

namespace {

// The largest size within maxWidth x maxHeight with the picture's aspect, never larger than it.
PictureSize fittedSize(int width, int height, int maxWidth, int maxHeight) {
    const double scale = std::min({1.0, double(maxWidth) / width, double(maxHeight) / height});
    return {std::clamp(int(std::lround(width * scale)), 1, maxWidth),
            std::clamp(int(std::lround(height * scale)), 1, maxHeight)};
}

// `rgb` (width x height, three bytes a pixel) scaled to `to` where it differs, as a JPEG.
std::optional<std::vector<std::uint8_t>> scaleAndEncode(const unsigned char* rgb, int width, int height,
                                                        PictureSize to) {
    std::vector<unsigned char> scaled;
    if (to.width != width || to.height != height) {
        scaled.resize(std::size_t(to.width) * to.height * 3);
        if (!stbir_resize_uint8_srgb(rgb, width, height, 0, scaled.data(), to.width, to.height, 0, 3,
                                     STBIR_ALPHA_CHANNEL_NONE, 0))
            return std::nullopt;
        rgb = scaled.data();
    }
    const Handle encoder(tjInitCompress());
    if (!encoder) return std::nullopt;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int failed =
        tjCompress2(encoder.get(), rgb, to.width, 0, to.height, TJPF_RGB, &jpeg, &size, TJSAMP_420, kQuality, 0);
    const std::unique_ptr<unsigned char, BufferDeleter> owner(jpeg);
    if (failed != 0 || !jpeg) return std::nullopt;
    return std::vector<std::uint8_t>(jpeg, jpeg + size);
}

} // namespace

std::optional<std::vector<std::uint8_t>> FitCover(std::span<const std::uint8_t> bytes, int maxWidth, int maxHeight,
                                                  SteadyClock::time_point until) {
    Decoder decoder(until);
    if (!decoder.open(bytes) || decoder.width() < 1 || decoder.height() < 1 ||
        (long long)decoder.width() * decoder.height() > kMaxPixels)
        return std::nullopt;
    const Header head{decoder.width(), decoder.height()};
    const PictureSize fit = fittedSize(head.width, head.height, maxWidth, maxHeight);

    // Decoding checks the whole picture even when its bytes are kept as they are.
    int decodedWidth = 0, decodedHeight = 0;
    auto pixels = decoder.decode(decodingScale(head, fit.width, fit.height), decodedWidth, decodedHeight);
    if (!pixels) return std::nullopt;
    if (fit.width == head.width && fit.height == head.height && decoder.whole() && !decoder.printInks() &&
        decoder.pictureBytes() <= kMaxKeptBytes)
        return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(decoder.pictureBytes()));
    return scaleAndEncode(pixels->data(), decodedWidth, decodedHeight, fit);
}

std::optional<std::vector<std::uint8_t>> FitPixels(std::span<const std::uint8_t> rgb, int width, int height,
                                                   int maxWidth, int maxHeight) {
    if (width < 1 || height < 1 || rgb.size() != std::size_t(width) * height * 3) return std::nullopt;
    return scaleAndEncode(rgb.data(), width, height, fittedSize(width, height, maxWidth, maxHeight));
}

} // namespace velfetch::opencatalog
