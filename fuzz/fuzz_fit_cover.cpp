// Fits arbitrary bytes as a downloaded cover: a picture comes out fitting the
// cover area, anything else comes out as no cover.
#include "CoverFit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velfetch::opencatalog;
    // A deadline as the lookup gives one: decoding under the progress monitor.
    const auto cover =
        FitCover({data, size}, kCoverWidth, kCoverHeight, std::chrono::steady_clock::now() + std::chrono::seconds(10));
    if (!cover) return 0;
    const auto fitted = JpegSize(*cover);
    if (!fitted || fitted->width > kCoverWidth || fitted->height > kCoverHeight) std::abort();
    return 0;
}
