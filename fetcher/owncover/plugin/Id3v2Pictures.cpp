#include "Id3v2Pictures.h"

#include <taglib/id3v2extendedheader.h>
#include <taglib/id3v2footer.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/tbytevector.h>

#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

namespace velpictures {
namespace {

using TagLib::ByteVector;
namespace Id3 = TagLib::ID3v2;

// TagLib lends its frame header class to frame classes only.
struct FrameHeaderAccess : Id3::Frame {
    using Id3::Frame::Header;
};
using FrameHeader = FrameHeaderAccess::Header;

constexpr unsigned kMaxFrames = 4096;
constexpr char kFrontCover = 3;

// Up to `size` bytes at `offset`; fewer at the end of the file.
ByteVector readAt(int fd, std::size_t size, off_t offset) {
    ByteVector bytes(static_cast<unsigned>(size), '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size - got, offset + off_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += std::size_t(n);
    }
    bytes.resize(static_cast<unsigned>(got));
    return bytes;
}

bool validFrameId(const ByteVector& id) {
    for (const char c : id)
        if ((c < 'A' || c > 'Z') && (c < '0' || c > '9')) return false;
    return true;
}

// The tag is walked frame by frame as TagLib's own reader does, with TagLib's
// header classes (and their allowances for common writers' mistakes), but only
// picture frames are ever parsed: TagLib's tag reader builds an object for
// every frame and splits text frames at every delimiter, which costs a hostile
// tag hundreds of bytes of memory per byte, and inflates compressed frames
// without a bound.
class PictureFrames {
public:
    PictureFrames(int fd, std::size_t maxTagBytes) {
        const ByteVector head = readAt(fd, Id3::Header::size(), 0);
        if (head.size() < Id3::Header::size() || !head.startsWith(Id3::Header::fileIdentifier())) return;
        header_.setData(head);
        version_ = header_.majorVersion();
        if (version_ < 2 || version_ > 4 || header_.tagSize() == 0 || header_.completeTagSize() > maxTagBytes)
            return;
        data_ = readAt(fd, header_.tagSize(), Id3::Header::size());
        if (header_.unsynchronisation() && version_ <= 3) data_ = Id3::SynchData::decode(data_);
        walk();
    }

    // Front covers first, then the others, each in tag order.
    void handOver(VelPictureTake take, void* context) const {
        for (const bool front : {true, false})
            for (const Found& f : found_) {
                const auto picture = pictureOf(f);
                if (!picture || (picture->first == kFrontCover) != front) continue;
                const ByteVector& bytes = picture->second; // const: reading must not copy
                if (take(context, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) != 0) return;
            }
    }

private:
    struct Found {
        unsigned offset = 0, length = 0; // the whole frame, header included
        bool v22Fields = false;          // "PIC": a three-letter image format instead of a MIME type
        bool unsynchronised = false, dataLength = false;
    };

    void walk() {
        const ByteVector& data = data_;
        unsigned position = 0, end = data.size();
        if (header_.extendedHeader()) {
            Id3::ExtendedHeader extended;
            extended.setData(data);
            if (extended.size() <= data.size()) position += extended.size();
        }
        if (header_.footerPresent() && Id3::Footer::size() <= end) end -= Id3::Footer::size();
        const unsigned headerSize = Id3::Frame::headerSize(version_);
        for (unsigned frames = 0; frames < kMaxFrames && position + headerSize < end; ++frames) {
            if (data.at(position) == 0) break; // padding
            const FrameHeader frame(data.mid(position), version_);
            ByteVector id = frame.frameID();
            // iTunes writes 2.2 frames into 2.3 tags.
            if (version_ == 3 && id.size() == 4 && id.at(3) == 0) id = id.mid(0, 3);
            const unsigned size = frame.frameSize();
            if (id.size() < 3 || !validFrameId(id) || size <= (frame.dataLengthIndicator() ? 4u : 0u) ||
                size > end - position - headerSize)
                break;
            if ((id == "APIC" || id == "PIC") && !frame.compression() && !frame.encryption())
                found_.push_back({position, headerSize + size, id == "PIC",
                                  version_ == 4 && (header_.unsynchronisation() || frame.unsynchronisation()),
                                  frame.dataLengthIndicator()});
            position += headerSize + size;
        }
    }

    // The picture's type and bytes, read as TagLib reads a picture frame.
    std::optional<std::pair<char, ByteVector>> pictureOf(const Found& f) const {
        const unsigned headerSize = Id3::Frame::headerSize(version_);
        ByteVector fields = data_.mid(f.offset + headerSize, f.length - headerSize);
        if (f.unsynchronised) fields = Id3::SynchData::decode(fields);
        if (f.dataLength) fields = fields.mid(4, Id3::SynchData::toUInt(fields.mid(0, 4)));
        const ByteVector& d = fields;
        if (d.size() < 5) return std::nullopt;
        const bool wide = d.at(0) == 1 || d.at(0) == 2; // UTF-16 descriptions end in two NULs
        int position = 1;
        if (f.v22Fields) {
            position += 3;
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

    Id3::Header header_;
    unsigned version_ = 0;
    ByteVector data_;
    std::vector<Found> found_;
};

} // namespace

void ReadId3v2Pictures(int fd, std::size_t maxTagBytes, VelPictureTake take, void* context) {
    PictureFrames(fd, maxTagBytes).handOver(take, context);
}

} // namespace velpictures
