#include "Id3v2Pictures.h"

#include "Id3v2Frames.h"

#include <optional>
#include <utility>

namespace velpictures {
namespace {

using TagLib::ByteVector;

constexpr char kFrontCover = 3;

// The picture's type and bytes, read from an APIC or PIC frame's fields as
// TagLib reads a picture frame.
std::optional<std::pair<char, ByteVector>> pictureOf(const ByteVector& d, bool v22Fields) {
    if (d.size() < 5) return std::nullopt;
    const bool wide = d.at(0) == 1 || d.at(0) == 2; // UTF-16 descriptions end in two NULs
    int position = 1;
    if (v22Fields) {
        position += 3; // a three-letter image format instead of a MIME type
    } else if (const int mimeEnd = d.find('\0', 1); mimeEnd >= 1) {
        position = mimeEnd + 1;
    }
    if (unsigned(position) + 1 >= d.size()) return std::nullopt;
    const char type = d.at(unsigned(position++));
    const ByteVector delimiter(wide ? 2 : 1, '\0');
    if (const int end = d.find(delimiter, unsigned(position), int(delimiter.size())); end >= position)
        position = end + int(delimiter.size());
    return std::pair{type, d.mid(unsigned(position))};
}

} // namespace

// Only picture frames are parsed; the walk keeps the tag's bytes, which the
// pictures handed over lie in, for the whole call.
void ReadId3v2Pictures(int fd, std::size_t maxTagBytes, VelPictureTake take, void* context) {
    const veltag::Id3v2Frames tag(fd, maxTagBytes, [](const ByteVector& id) { return id == "APIC" || id == "PIC"; });
    for (const bool front : {true, false})
        for (const auto& frame : tag.frames()) {
            const auto picture = pictureOf(tag.fields(frame), frame.id == "PIC");
            if (!picture || (picture->first == kFrontCover) != front) continue;
            const ByteVector& bytes = picture->second; // const: reading must not copy
            if (take(context, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != 0) return;
        }
}

} // namespace velpictures
