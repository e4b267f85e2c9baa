#include "EmbeddedPictures.h"

#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfilestream.h>

#include <vector>

namespace velfetch::owncover {
namespace {

std::span<const std::uint8_t> view(const TagLib::ByteVector& v) {
    return {reinterpret_cast<const std::uint8_t*>(v.data()), v.size()};
}

bool id3v2Pictures(TagLib::ID3v2::Tag* tag, const PictureTaker& take) {
    if (!tag) return false;
    // TagLib reads a 2.2 PIC frame as an APIC frame.
    std::vector<const TagLib::ID3v2::AttachedPictureFrame*> front, other;
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (!picture) continue;
        (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover ? front : other).push_back(picture);
    }
    for (const auto* list : {&front, &other})
        for (const auto* picture : *list)
            if (take(view(picture->picture()))) return true;
    return false;
}

// An APEv2 cover item holds a file name, a NUL and the picture.
std::span<const std::uint8_t> apePicture(const TagLib::APE::Item& item) {
    const auto value = view(item.binaryData());
    for (std::size_t i = 0; i < value.size(); ++i)
        if (value[i] == 0) return value.subspan(i + 1);
    return {};
}

bool apePictures(TagLib::APE::Tag* tag, const PictureTaker& take) {
    if (!tag) return false;
    // Keys are upper-cased by TagLib; the map keeps them in key order.
    const TagLib::String front = "COVER ART (FRONT)";
    const auto& items = tag->itemListMap();
    if (const auto it = items.find(front); it != items.end() && it->second.type() == TagLib::APE::Item::Binary &&
                                           take(apePicture(it->second)))
        return true;
    for (const auto& [key, item] : items) {
        if (key == front || !key.startsWith("COVER ART (") || !key.to8Bit().ends_with(')') ||
            item.type() != TagLib::APE::Item::Binary)
            continue;
        if (take(apePicture(item))) return true;
    }
    return false;
}

void fromStream(TagLib::IOStream& stream, const PictureTaker& take) {
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid()) return;
    if (file.hasID3v2Tag() && id3v2Pictures(file.ID3v2Tag(), take)) return;
    if (file.hasAPETag()) apePictures(file.APETag(), take);
}

} // namespace

void ForEachEmbeddedPicture(const std::string& path, const PictureTaker& take) {
    TagLib::FileStream stream(path.c_str(), true);
    if (stream.isOpen()) fromStream(stream, take);
}

void ForEachEmbeddedPicture(std::span<const std::uint8_t> file, const PictureTaker& take) {
    TagLib::ByteVector bytes(reinterpret_cast<const char*>(file.data()), static_cast<unsigned int>(file.size()));
    TagLib::ByteVectorStream stream(bytes);
    fromStream(stream, take);
}

} // namespace velfetch::owncover
