#include "PngPicture.h"

#include <png.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <vector>

namespace velpictures {
namespace {

// The longest side a JPEG can have: no cover is longer.
constexpr png_uint_32 kMaxSide = 65500;
// The only chunks read are IHDR, PLTE, tRNS, IDAT and IEND, none large.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(1) << 20;

// One picture decoded. libpng decompresses the image data row by row into
// the rows given to it, so the picture's own size, checked before anything
// is decoded, bounds the memory. Once the last row is there, nothing more is
// read: libpng would inflate the rest of a compressed stream longer than the
// image to its end, seconds for a few megabytes. Every other chunk (text,
// colour profiles, unknown ones) is skipped unread.
class PngReader {
public:
    PngReader(const unsigned char* bytes, std::size_t length, long long untilNs)
        : bytes_(bytes), length_(length), untilNs_(untilNs) {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, fail, ignore);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    int decode(long long maxPixels, VelPngPixels pixels, void* context) {
        if (!png_ || !info_) return 0;
        png_uint_32 width = 0, height = 0;
        if (!guarded([&] {
                png_set_user_limits(png_, kMaxSide, kMaxSide);
                png_set_chunk_malloc_max(png_, kMaxChunkBytes);
                png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
                png_set_read_fn(png_, this, read);
                png_read_info(png_, info_);
                width = png_get_image_width(png_, info_);
                height = png_get_image_height(png_, info_);
            }) ||
            width < 1 || height < 1 || (long long)width * height > maxPixels)
            return 0;
        unsigned char* out = pixels(context, int(width), int(height));
        if (!out) return 0;
        rows_.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) rows_[y] = out + std::size_t(y) * width * 3;
        unsigned long long rows = height;
        if (png_get_interlace_type(png_, info_) != PNG_INTERLACE_NONE) {
            rows = 0; // libpng passes over the passes that hold no pixel
            for (int pass = 0; pass < 7; ++pass)
                if (PNG_PASS_COLS(width, pass) > 0) rows += PNG_PASS_ROWS(height, pass);
        }
        rowsLeft_ = rows;
        return guarded([&] {
            // Every kind of pixel becomes 8-bit RGB; transparent parts show the cover area's black.
            png_set_expand(png_);
            png_set_scale_16(png_);
            png_set_gray_to_rgb(png_);
            const png_color_16 black{};
            png_set_background(png_, &black, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
            png_set_interlace_handling(png_);
            png_set_read_user_transform_fn(png_, counted);
            png_read_update_info(png_, info_);
            if (png_get_rowbytes(png_, info_) != std::size_t(width) * 3) png_error(png_, "not RGB");
            png_read_image(png_, rows_.data());
        }) || rowsLeft_ == 0;
    }

private:
    // Runs libpng calls; false when libpng gave up (it jumps back here).
    // `calls` holds nothing that needs destroying.
    template <class Calls> bool guarded(Calls&& calls) {
        if (setjmp(png_jmpbuf(png_))) return false;
        calls();
        return true;
    }
    static PngReader& of(png_structp png) { return *static_cast<PngReader*>(png_get_io_ptr(png)); }
    [[noreturn]] static void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
    static void ignore(png_structp, png_const_charp) {}
    // Called for every row decoded (of every pass of an interlaced picture).
    static void counted(png_structp png, png_row_infop, png_bytep) { --of(png).rowsLeft_; }
    static void read(png_structp png, png_bytep to, png_size_t size) {
        PngReader& r = of(png);
        using std::chrono::steady_clock;
        if (r.rowsLeft_ == 0) png_error(png, "the picture is whole");
        if (size > r.length_ - r.at_) png_error(png, "cut short");
        if (steady_clock::now().time_since_epoch() >= std::chrono::nanoseconds(r.untilNs_)) png_error(png, "too late");
        std::copy_n(r.bytes_ + r.at_, size, to);
        r.at_ += size;
    }

    const unsigned char* bytes_;
    std::size_t length_, at_ = 0;
    long long untilNs_;
    unsigned long long rowsLeft_ = ~0ull; // of the picture's own data; none: it is whole
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    std::vector<png_bytep> rows_;
};

} // namespace

int DecodePng(const unsigned char* png, std::size_t length, long long maxPixels, long long untilNs,
              VelPngPixels pixels, void* context) {
    PngReader reader(png, length, untilNs);
    return reader.decode(maxPixels, pixels, context);
}

} // namespace velpictures
