// The plug-in's one function: the ID3v2 or APEv2 tag of an MPEG file, read
// with TagLib, handed over field by field as UTF-8.
#include "LegacyLatin1.h"
#include "TagPluginApi.h"

#include <taglib/apetag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>

#include <unistd.h>

#include <type_traits>

namespace {

struct Property {
    Vbmp3TagKey key;
    const char* name;
};

constexpr Property kProperties[] = {
    {VBMP3_KEY_TITLE, "TITLE"}, {VBMP3_KEY_ARTIST, "ARTIST"},   {VBMP3_KEY_ALBUM, "ALBUM"},
    {VBMP3_KEY_DATE, "DATE"},   {VBMP3_KEY_COMMENT, "COMMENT"}, {VBMP3_KEY_GENRE, "GENRE"},
    {VBMP3_KEY_TRACK, "TRACKNUMBER"},
};

// Hands over the first value of each field the tag has; how many it handed.
int handOver(const TagLib::Tag* tag, Vbmp3TagField field, void* context) {
    if (!tag || tag->isEmpty()) return 0;
    const TagLib::PropertyMap properties = tag->properties();
    int handed = 0;
    for (const Property& p : kProperties) {
        const auto it = properties.find(p.name);
        if (it == properties.end() || it->second.isEmpty() || it->second.front().isEmpty()) continue;
        TagLib::String value = it->second.front();
        // TagLib names a numeric ID3v2 genre ("(17)" in the file) after its
        // own list; the number itself is what the caller looks up.
        if (const auto* id3 = dynamic_cast<const TagLib::ID3v2::Tag*>(tag);
            id3 && p.key == VBMP3_KEY_GENRE) {
            const auto& frames = id3->frameList("TCON");
            const auto* text = frames.isEmpty()
                                   ? nullptr
                                   : dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(
                                         frames.front());
            if (text && !text->fieldList().isEmpty() && !text->fieldList().front().isEmpty())
                value = text->fieldList().front();
        }
        const std::string utf8 = value.to8Bit(true);
        field(context, p.key, utf8.data(), utf8.size());
        ++handed;
    }
    return handed;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int vbmp3tags_read(int fd, Vbmp3TagField field,
                                                                      void* context) {
    static const vbmp3::LegacyLatin1 latin1;
    TagLib::ID3v2::Tag::setLatin1StringHandler(&latin1);

    // TagLib's stream closes what it is given: give it a descriptor of its own.
    const int own = ::dup(fd);
    if (own < 0) return 0;
    TagLib::FileStream stream(own, true);
    if (!stream.isOpen()) {
        ::close(own);
        return 0;
    }
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid()) return 0;
    if (file.hasID3v2Tag() && handOver(file.ID3v2Tag(), field, context) > 0) return 1;
    return file.hasAPETag() && handOver(file.APETag(), field, context) > 0 ? 1 : 0;
}

static_assert(std::is_same_v<decltype(&vbmp3tags_read), Vbmp3TagRead>);
