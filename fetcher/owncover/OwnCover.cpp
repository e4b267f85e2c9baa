#include "OwnCover.h"

#include "EmbeddedPictures.h"
#include "Folder.h"
#include "HttpSettings.h"
#include "PictureFit.h"
#include "PicturesBeside.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

namespace velfetch::owncover {
namespace {

// A regular file open for reading (never waiting on a FIFO); not open otherwise.
vel::UniqueFd openTrack(const std::string& path) {
    vel::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat s {};
    if (fd && (fstat(fd.get(), &s) != 0 || !S_ISREG(s.st_mode))) return {};
    return fd;
}

std::optional<std::vector<std::uint8_t>> readPictureFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxDownloadBytes) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return std::nullopt;
    return bytes;
}

} // namespace

std::optional<std::vector<std::uint8_t>> FindOwnCover(const std::string& trackPath,
                                                      std::chrono::steady_clock::time_point until) {
    const PictureReaders& readers = PluginReaders();
    std::optional<std::vector<std::uint8_t>> cover;
    int tried = 0;
    const auto done = [&] {
        return cover || tried == kMaxPicturesTried || std::chrono::steady_clock::now() >= until;
    };
    // True once the search is done.
    const auto fits = [&](std::span<const std::uint8_t> picture) {
        if (done()) return true;
        ++tried;
        cover = FitPicture(picture, until, readers);
        return done();
    };
    if (const vel::UniqueFd track = openTrack(trackPath))
        ForEachEmbeddedPicture(track.get(), readers.id3v2, kMaxDownloadBytes, kMaxPicturesTried, fits);
    for (const std::string& path : PicturesBeside(trackPath)) {
        if (done()) break;
        if (const auto bytes = readPictureFile(path)) fits(*bytes);
    }
    return cover;
}

} // namespace velfetch::owncover
