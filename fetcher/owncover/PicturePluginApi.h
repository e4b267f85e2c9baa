#pragma once
// The C interface between velfetch and its picture plug-in libvelpictures.so,
// which reads the pictures of ID3v2 tags (with TagLib) and decodes PNG
// pictures (with libpng). velfetch loads it only when it looks for the cover
// the user already has, so that a lookup that never gets there does not pay
// for loading either library.
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VEL_PICTURE_PLUGIN "libvelpictures.so"
#define VEL_PICTURE_ID3V2 "velpictures_id3v2"
#define VEL_PICTURE_PNG "velpictures_png"

// Receives one picture's bytes, valid during the call only; returns non-zero to stop.
typedef int (*VelPictureTake)(void* context, const unsigned char* picture, size_t length);

// Hands the pictures of the ID3v2 tag at the start of the file open on fd
// (which stays open) to `take`: 2.2 PIC and 2.3/2.4 APIC frames, front covers
// first, then the others in tag order, until `take` returns non-zero. A tag
// larger than maxTagBytes is not read; compressed and encrypted frames are
// passed over, and a tag is read no further than its first 4096 frames.
typedef void (*VelId3v2Pictures)(int fd, size_t maxTagBytes, VelPictureTake take, void* context);

// Receives a PNG picture's size once its header is read; returns where its
// width x height pixels of three bytes (RGB, row after row) go, or NULL to stop.
typedef unsigned char* (*VelPngPixels)(void* context, int width, int height);

// Decodes the PNG picture `png` into the buffer `pixels` gives, transparent
// parts over black. Gives up (returns 0) on a picture that is broken or cut
// short, has more than maxPixels pixels or a side longer than 65500, or is not
// decoded when std::chrono::steady_clock reaches untilNs (nanoseconds since
// its epoch). Non-zero when the buffer was filled whole.
typedef int (*VelPngDecode)(const unsigned char* png, size_t length, long long maxPixels, long long untilNs,
                            VelPngPixels pixels, void* context);

#ifdef __cplusplus
}
#endif
