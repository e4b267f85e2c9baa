// The plug-in's functions: the ID3v2 or APEv2 tag of an MPEG file, read with
// TagLib, handed over field by field as UTF-8; the APEv2 tag's track gain.
#include "LegacyLatin1.h"
#include "TagPluginApi.h"

#include <taglib/apetag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>

#include <unistd.h>

#include <charconv>
#include <memory>
#include <string>
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

// The MPEG file open on fd, read through a descriptor of its own (TagLib's
// stream closes what it opened); its tags are valid while it lives.
struct OpenFile {
    explicit OpenFile(int own) : stream(own, true) {}
    TagLib::FileStream stream;
    std::unique_ptr<TagLib::MPEG::File> file;
};

std::unique_ptr<OpenFile> openMpeg(int fd) {
    const int own = ::dup(fd);
    if (own < 0) return nullptr;
    auto f = std::make_unique<OpenFile>(own);
    if (!f->stream.isOpen()) {
        ::close(own);
        return nullptr;
    }
    f->file = std::make_unique<TagLib::MPEG::File>(&f->stream, TagLib::ID3v2::FrameFactory::instance(), false);
    return f->file->isValid() ? std::move(f) : nullptr;
}

// A number as tags write it ("-6.20 dB", "+1.5", " 0.98"), in any locale.
bool number(const TagLib::APE::ItemListMap& items, const char* key, double& out) {
    const auto it = items.find(key);
    if (it == items.end()) return false;
    const std::string text = it->second.toString().to8Bit(true);
    std::size_t from = text.find_first_not_of(' ');
    if (from != std::string::npos && text[from] == '+') ++from;
    if (from == std::string::npos) return false;
    return std::from_chars(text.data() + from, text.data() + text.size(), out).ec == std::errc();
}

} // namespace

extern "C" __attribute__((visibility("default"))) int vbmp3tags_read(int fd, Vbmp3TagField field,
                                                                      void* context) {
    static const vbmp3::LegacyLatin1 latin1;
    TagLib::ID3v2::Tag::setLatin1StringHandler(&latin1);
    const auto f = openMpeg(fd);
    if (!f) return 0;
    TagLib::MPEG::File& file = *f->file;
    if (file.hasID3v2Tag() && handOver(file.ID3v2Tag(), field, context) > 0) return 1;
    return file.hasAPETag() && handOver(file.APETag(), field, context) > 0 ? 1 : 0;
}

extern "C" __attribute__((visibility("default"))) int vbmp3tags_track_gain(int fd, double* gainDb,
                                                                            double* peak) {
    const auto f = openMpeg(fd);
    if (!f || !f->file->hasAPETag()) return 0;
    const auto& items = f->file->APETag()->itemListMap(); // keys in upper case
    double gain = 0, top = 0;
    if (!number(items, "REPLAYGAIN_TRACK_GAIN", gain)) return 0;
    if (!number(items, "REPLAYGAIN_TRACK_PEAK", top) || top < 0) top = 0;
    *gainDb = gain;
    *peak = top;
    return 1;
}

static_assert(std::is_same_v<decltype(&vbmp3tags_read), Vbmp3TagRead>);
static_assert(std::is_same_v<decltype(&vbmp3tags_track_gain), Vbmp3TagGain>);
