#include "OwnCover.h"

#include "EmbeddedPictures.h"
#include "PictureFit.h"
#include "PicturesBeside.h"

#include <fstream>
#include <iterator>

namespace velfetch::owncover {
namespace {

std::optional<std::vector<std::uint8_t>> readPictureFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxPictureFileBytes) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return std::nullopt;
    return bytes;
}

} // namespace

std::optional<std::vector<std::uint8_t>> FindOwnCover(const std::string& trackPath) {
    std::optional<std::vector<std::uint8_t>> cover;
    ForEachEmbeddedPicture(trackPath, [&](std::span<const std::uint8_t> picture) {
        cover = FitPicture(picture);
        return cover.has_value();
    });
    if (cover) return cover;
    for (const std::string& path : PicturesBeside(trackPath)) {
        if (const auto bytes = readPictureFile(path))
            if ((cover = FitPicture(*bytes))) return cover;
    }
    return std::nullopt;
}

} // namespace velfetch::owncover
