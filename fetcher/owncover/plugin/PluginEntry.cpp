// The plug-in's two functions: nothing thrown inside (an allocation that
// fails, say) crosses into the caller; it ends the call as "nothing".
#include "Id3v2Pictures.h"
#include "PngPicture.h"

#include <type_traits>

#define VEL_EXPORT extern "C" __attribute__((visibility("default")))

VEL_EXPORT void velpictures_id3v2(int fd, size_t maxTagBytes, VelPictureTake take, void* context) {
    try {
        velpictures::ReadId3v2Pictures(fd, maxTagBytes, take, context);
    } catch (...) {
    }
}

VEL_EXPORT int velpictures_png(const unsigned char* png, size_t length, long long maxPixels, long long untilNs,
                               VelPngPixels pixels, void* context) {
    try {
        return velpictures::DecodePng(png, length, maxPixels, untilNs, pixels, context);
    } catch (...) {
        return 0;
    }
}

static_assert(std::is_same_v<decltype(&velpictures_id3v2), VelId3v2Pictures>);
static_assert(std::is_same_v<decltype(&velpictures_png), VelPngDecode>);
