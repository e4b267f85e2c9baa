// Reads arbitrary bytes as an MP3 file's tags and fits every picture in them,
// and fits the bytes themselves as a picture file beside a track: whatever
// comes out fits the cover area. The picture plug-in's readers are compiled
// in, so that they are fuzzed too.
#include "CoverFit.h"
#include "EmbeddedPictures.h"
#include "HttpSettings.h"
#include "Id3v2Pictures.h"
#include "PictureFit.h"
#include "PngPicture.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace {

const velfetch::owncover::PictureReaders kReaders{&velpictures::ReadId3v2Pictures, &velpictures::DecodePng};

void fitsOrNothing(std::span<const std::uint8_t> picture) {
    using namespace velfetch::opencatalog;
    const auto cover = velfetch::owncover::FitPicture(
        picture, std::chrono::steady_clock::now() + std::chrono::seconds(10), kReaders);
    if (!cover) return;
    const auto fitted = JpegSize(*cover);
    if (!fitted || fitted->width > kCoverWidth || fitted->height > kCoverHeight) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int track = memfd_create("track.mp3", MFD_CLOEXEC);
    if (track < 0 || write(track, data, size) != ssize_t(size)) std::abort();
    velfetch::owncover::ForEachEmbeddedPicture(track, kReaders.id3v2, velfetch::kMaxDownloadBytes, 8,
                                               [](std::span<const std::uint8_t> picture) {
                                                   fitsOrNothing(picture);
                                                   return false; // every picture, not only the first that serves
                                               });
    close(track);
    fitsOrNothing({data, size});
    return 0;
}
