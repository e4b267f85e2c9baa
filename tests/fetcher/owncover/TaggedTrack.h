#pragma once
// Tracks carrying pictures in their tags, written with TagLib (and by hand for
// what TagLib no longer writes: ID3v2.2, and frames that lie about their size).
#include <stb_image_write.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <string>
#include <utility>
#include <vector>

namespace veltest {

struct TagPicture {
    TagLib::ID3v2::AttachedPictureFrame::Type type;
    std::string bytes;
};

inline TagLib::ByteVector byteVector(const std::string& s) {
    return {s.data(), static_cast<unsigned int>(s.size())};
}

// Adds ID3v2 pictures (version 3 or 4), in this order, to the file at `path`.
inline bool addPictures(const std::string& path, const std::vector<TagPicture>& pictures, int version = 4) {
    TagLib::MPEG::File file(path.c_str(), false);
    for (const TagPicture& p : pictures) {
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame; // the tag owns its frames
        frame->setType(p.type);
        frame->setMimeType("image/jpeg");
        frame->setPicture(byteVector(p.bytes));
        file.ID3v2Tag(true)->addFrame(frame);
    }
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone,
                     version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate);
}

// Adds APEv2 binary items "key" = file name, NUL, picture.
inline bool addApeCovers(const std::string& path, const std::vector<std::pair<std::string, std::string>>& items) {
    TagLib::MPEG::File file(path.c_str(), false);
    for (const auto& [key, picture] : items)
        file.APETag(true)->setData(key.c_str(), byteVector(std::string("cover.jpg", 10) + picture));
    return file.save(TagLib::MPEG::File::APE, TagLib::File::StripNone, TagLib::ID3v2::v4,
                     TagLib::File::DoNotDuplicate);
}

inline std::string bigEndian(std::size_t value, int bytes, int bitsPerByte = 8) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += char((value >> (i * bitsPerByte)) & ((1u << bitsPerByte) - 1));
    return out;
}

// A whole ID3v2 tag of one picture frame, with its header: version 2 ("PIC",
// 3-byte sizes) or 3 ("APIC"). The frame claims `extra` bytes more than it holds.
inline std::string handMadeTag(int version, const std::string& picture, std::size_t extra = 0) {
    std::string body = std::string(1, '\0') + (version == 2 ? std::string("JPG") : std::string("image/jpeg") + '\0') +
                       char(3) + '\0' + picture;
    std::string frame = version == 2 ? "PIC" + bigEndian(body.size() + extra, 3)
                                     : "APIC" + bigEndian(body.size() + extra, 4) + std::string(2, '\0');
    frame += body;
    return "ID3" + std::string{char(version), 0, 0} + bigEndian(frame.size() + 16, 4, 7) + frame +
           std::string(16, '\0');
}

// One ID3v2.3 or 2.4 frame (its size plain or synch-safe), its second flag byte `flags`.
inline std::string id3Frame(int version, const std::string& id, const std::string& body, char flags = 0) {
    return id + bigEndian(body.size(), 4, version == 4 ? 7 : 8) + '\0' + flags + body;
}
// The body of an APIC frame: a front cover without a description.
inline std::string frontCover(const std::string& picture) {
    return std::string(1, '\0') + "image/jpeg" + '\0' + char(3) + '\0' + picture;
}
// A whole ID3v2 tag of these frames.
inline std::string id3Tag(int version, const std::string& frames) {
    return "ID3" + std::string{char(version), 0, 0} + bigEndian(frames.size(), 4, 7) + frames;
}

inline std::string littleEndian(std::size_t value) {
    const std::string s = bigEndian(value, 4);
    return {s.rbegin(), s.rend()};
}
// A whole APEv2 tag (items and footer) of these items.
inline std::string apeTag(const std::vector<std::string>& items) {
    std::string all;
    for (const auto& item : items) all += item;
    return all + "APETAGEX" + littleEndian(2000) + littleEndian(all.size() + 32) + littleEndian(items.size()) +
           littleEndian(0) + std::string(8, '\0');
}
// An APEv2 item, binary or text, whose value claims `extra` bytes more than it holds.
inline std::string apeItem(const std::string& key, const std::string& value, std::size_t extra = 0,
                           bool binary = false) {
    return littleEndian(value.size() + extra) + littleEndian(binary ? 2 : 0) + key + '\0' + value;
}

// A PNG of `width` x `height` px, with an alpha channel when `alpha`.
inline std::string png(int width, int height, bool alpha = false) {
    const int channels = alpha ? 4 : 3;
    std::vector<unsigned char> px(std::size_t(width) * height * channels);
    for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i % 251);
    std::string out;
    const auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<char*>(data), size);
    };
    stbi_write_png_to_func(append, &out, width, height, channels, px.data(), width * channels);
    return out;
}

} // namespace veltest
