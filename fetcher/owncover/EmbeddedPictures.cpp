#include "EmbeddedPictures.h"

#include "ApePictures.h"

#include <exception>

namespace velfetch::owncover {
namespace {

// `take` behind the plug-in's C interface: what it throws is held there and
// thrown again on this side.
struct Taking {
    const PictureTaker& take;
    bool stopped = false;
    std::exception_ptr thrown;

    static int call(void* context, const unsigned char* picture, std::size_t length) {
        auto& self = *static_cast<Taking*>(context);
        try {
            self.stopped = self.take({picture, length});
        } catch (...) {
            self.thrown = std::current_exception();
            self.stopped = true;
        }
        return self.stopped ? 1 : 0;
    }
};

} // namespace

void ForEachEmbeddedPicture(int fd, VelId3v2Pictures id3v2, std::size_t maxTagBytes, std::size_t apeCovers,
                            const PictureTaker& take) {
    if (id3v2) {
        Taking taking{take, false, nullptr};
        id3v2(fd, maxTagBytes, &Taking::call, &taking);
        if (taking.thrown) std::rethrow_exception(taking.thrown);
        if (taking.stopped) return;
    }
    const ApeCovers ape(fd, maxTagBytes, apeCovers); // holds the bytes the pictures lie in
    for (const auto picture : ape.pictures())
        if (take(picture)) return;
}

} // namespace velfetch::owncover
