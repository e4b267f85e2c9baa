#include "Id3v2Frames.h"

#include "ReadAt.h"
#include "TagBounds.h"

#include <taglib/id3v2extendedheader.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2synchdata.h>

#include <sys/stat.h>

#include <algorithm>

namespace veltag {
namespace {

using TagLib::ByteVector;
namespace Id3 = TagLib::ID3v2;

// TagLib lends its frame header class to frame classes only.
struct FrameHeaderAccess : Id3::Frame {
    using Id3::Frame::Header;
};
using FrameHeader = FrameHeaderAccess::Header;

// Up to `size` bytes at `offset`; fewer at the end of the file, and no more
// memory than they take, whatever size a tag claims.
ByteVector readAt(int fd, std::size_t size, off_t offset) {
    struct stat file {};
    if (fstat(fd, &file) != 0 || file.st_size <= offset) return {};
    size = std::min<std::size_t>(size, std::size_t(file.st_size - offset));
    ByteVector bytes(static_cast<unsigned>(size), '\0');
    bytes.resize(static_cast<unsigned>(ReadAt(fd, bytes.data(), size, offset)));
    return bytes;
}

bool validFrameId(const ByteVector& id) {
    for (const char c : id)
        if ((c < 'A' || c > 'Z') && (c < '0' || c > '9')) return false;
    return true;
}

} // namespace

Id3v2Frames::Id3v2Frames(int fd, std::size_t maxTagBytes, const Wanted& wanted) {
    const ByteVector head = readAt(fd, Id3::Header::size(), 0);
    if (head.size() < Id3::Header::size() || !head.startsWith(Id3::Header::fileIdentifier())) return;
    header_.setData(head);
    version_ = header_.majorVersion();
    if (version_ < 2 || version_ > 4 || header_.tagSize() == 0 || header_.completeTagSize() > maxTagBytes) return;
    data_ = readAt(fd, header_.tagSize(), Id3::Header::size());
    if (header_.unsynchronisation() && version_ <= 3) data_ = Id3::SynchData::decode(data_);
    walk(wanted);
}

void Id3v2Frames::walk(const Wanted& wanted) {
    const ByteVector& data = data_;
    // A footer follows the tag's data, outside its size.
    unsigned position = 0, end = data.size();
    if (header_.extendedHeader()) {
        Id3::ExtendedHeader extended;
        extended.setData(data);
        if (extended.size() <= data.size()) position += extended.size();
    }
    const unsigned headerSize = Id3::Frame::headerSize(version_);
    for (unsigned frames = 0; frames < kMaxTagEntries && position + headerSize < end; ++frames) {
        if (data.at(position) == 0) break; // padding
        // The rest of the tag: the header looks past the frame to tell iTunes's plain sizes in 2.4.
        const FrameHeader frame(data.mid(position), version_);
        ByteVector id = frame.frameID();
        // iTunes writes 2.2 frames into 2.3 tags.
        if (version_ == 3 && id.size() == 4 && id.at(3) == 0) id = id.mid(0, 3);
        const unsigned size = frame.frameSize();
        if (id.size() < 3 || !validFrameId(id) || size <= (frame.dataLengthIndicator() ? 4u : 0u) ||
            size > end - position - headerSize)
            break;
        if (!frame.compression() && !frame.encryption() && wanted(id))
            frames_.push_back({id, position, headerSize + size,
                               version_ == 4 && (header_.unsynchronisation() || frame.unsynchronisation()),
                               frame.dataLengthIndicator()});
        position += headerSize + size;
    }
}

ByteVector Id3v2Frames::fields(const Frame& f) const {
    const unsigned headerSize = Id3::Frame::headerSize(version_);
    ByteVector fields = data_.mid(f.offset + headerSize, f.length - headerSize);
    if (f.unsynchronised) fields = Id3::SynchData::decode(fields);
    if (f.dataLength) fields = fields.mid(4, Id3::SynchData::toUInt(fields.mid(0, 4)));
    return fields;
}

} // namespace veltag
