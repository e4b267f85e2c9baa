// Reads arbitrary bytes as an MP3 file's tags and fits every picture in them,
// and fits the bytes themselves as a picture file beside a track: whatever
// comes out fits the cover area.
#include "CoverFit.h"
#include "EmbeddedPictures.h"
#include "PictureFit.h"

#include <cstdlib>

namespace {

void fitsOrNothing(std::span<const std::uint8_t> picture) {
    using namespace velfetch::opencatalog;
    const auto cover = velfetch::owncover::FitPicture(picture);
    if (!cover) return;
    const auto fitted = JpegSize(*cover);
    if (!fitted || fitted->width > kCoverWidth || fitted->height > kCoverHeight) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velfetch::owncover::ForEachEmbeddedPicture({data, size}, [](std::span<const std::uint8_t> picture) {
        fitsOrNothing(picture);
        return false; // every picture, not only the first that serves
    });
    fitsOrNothing({data, size});
    return 0;
}
