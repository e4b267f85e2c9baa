#pragma once
// The frames of the ID3v2 tag at the start of an MP3 file, walked as TagLib's
// own reader walks them, with TagLib's header classes (and their allowances
// for common writers' mistakes), but without parsing any frame: TagLib's tag
// reader builds an object for every frame and splits text frames at every
// delimiter, which costs a hostile tag hundreds of bytes of memory per byte,
// and inflates compressed frames without a bound. The caller parses only
// the frames it wants.
#include <taglib/id3v2header.h>
#include <taglib/tbytevector.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace veltag {

class Id3v2Frames {
public:
    struct Frame {
        TagLib::ByteVector id;           // as the tag has it: "PIC" in 2.2 (and in iTunes' 2.3 tags)
        unsigned offset = 0, length = 0; // the whole frame, header included
        bool unsynchronised = false, dataLength = false;
    };
    // Whether a frame of this id is wanted.
    using Wanted = std::function<bool(const TagLib::ByteVector& id)>;

    // Reads the tag (2.2 to 2.4) at offset 0 of the file open on fd unless it
    // is larger than maxTagBytes, and keeps the wanted frames among its first
    // kMaxTagEntries, in tag order. Compressed and encrypted frames are passed over.
    Id3v2Frames(int fd, std::size_t maxTagBytes, const Wanted& wanted);

    const TagLib::ID3v2::Header& header() const { return header_; }
    const std::vector<Frame>& frames() const { return frames_; }
    // The frame's bytes, header included, as TagLib's frame factory takes them.
    TagLib::ByteVector whole(const Frame& f) const { return data_.mid(f.offset, f.length); }
    // The frame's fields: unsynchronisation undone, the data length indicator left out.
    TagLib::ByteVector fields(const Frame& f) const;

private:
    void walk(const Wanted& wanted);

    TagLib::ID3v2::Header header_;
    unsigned version_ = 0;
    TagLib::ByteVector data_; // the tag after its header (unsynchronisation undone up to 2.3)
    std::vector<Frame> frames_;
};

} // namespace veltag
