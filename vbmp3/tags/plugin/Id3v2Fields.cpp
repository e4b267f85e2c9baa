#include "TagFields.h"

#include "Id3v2Frames.h"
#include "TagBounds.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <bitset>

namespace vbmp3tags {
namespace {

namespace Id3 = TagLib::ID3v2;

// The frames that decide a field, as TagLib names them once parsed (2.2's
// and 2.3's names become 2.4's: TT2 is TIT2, TYER and TYE are TDRC).
struct Source {
    const char* id;
    Vbmp3TagKey key;
};
constexpr Source kSources[] = {
    {"TIT2", VBMP3_KEY_TITLE}, {"TPE1", VBMP3_KEY_ARTIST}, {"TALB", VBMP3_KEY_ALBUM}, {"TDRC", VBMP3_KEY_DATE},
    {"COMM", VBMP3_KEY_COMMENT}, {"TCON", VBMP3_KEY_GENRE}, {"TRCK", VBMP3_KEY_TRACK},
};

// Their names in the file, 2.3/2.4 and 2.2 (TRDC: a typo of old writers).
bool mayDecideAField(const TagLib::ByteVector& id) {
    static constexpr const char* kIds[] = {"TIT2", "TPE1", "TALB", "TDRC", "TYER", "TRDC", "COMM", "TCON", "TRCK",
                                           "TT2",  "TP1",  "TAL",  "TYE",  "TRD",  "COM",  "TCO",  "TRK"};
    return std::any_of(std::begin(kIds), std::end(kIds), [&](const char* k) { return id == k; });
}

bool describedComment(const Id3::Frame& frame) {
    const auto* comment = dynamic_cast<const Id3::CommentsFrame*>(&frame);
    return comment && !comment->description().isEmpty();
}

} // namespace

// A field comes from the first frame of its kind, as TagLib's accessors take
// it; the comment from the first comment without a description, or else the
// first comment.
Fields Id3v2Fields(int fd) {
    const veltag::Id3v2Frames tag(fd, veltag::kMaxTagBytes, mayDecideAField);
    Fields fields;
    std::bitset<VBMP3_KEYS> decided, commentSeen;
    for (const auto& f : tag.frames()) {
        if (decided.all()) break;
        if (f.length > kMaxParsedBytes) continue;
        Id3::Frame* frame = Id3::FrameFactory::instance()->createFrame(tag.whole(f), &tag.header());
        if (!frame) continue;
        Id3::Tag one; // owns the frame
        one.addFrame(frame);
        const auto source = std::find_if(std::begin(kSources), std::end(kSources),
                                         [&](const Source& s) { return frame->frameID() == s.id; });
        if (source == std::end(kSources) || decided[source->key]) continue;
        if (source->key == VBMP3_KEY_COMMENT && describedComment(*frame)) {
            if (commentSeen.any()) continue; // only the first stands in for one without a description
            commentSeen.set();
        } else {
            decided[source->key] = true;
        }
        fields[source->key] = AccessorField(one, source->key);
        // TagLib names a numeric genre ("(17)" in the file) after its own list;
        // the number itself is what the caller looks up.
        if (const auto* text = dynamic_cast<const Id3::TextIdentificationFrame*>(frame);
            text && source->key == VBMP3_KEY_GENRE && !text->fieldList().isEmpty() &&
            !text->fieldList().front().isEmpty())
            fields[VBMP3_KEY_GENRE] = text->fieldList().front().to8Bit(true);
    }
    return fields;
}

std::string AccessorField(const TagLib::Tag& tag, int key) {
    const auto number = [](unsigned n) { return n == 0 ? std::string() : TagLib::String::number(n).to8Bit(); };
    switch (key) {
    case VBMP3_KEY_TITLE: return tag.title().to8Bit(true);
    case VBMP3_KEY_ARTIST: return tag.artist().to8Bit(true);
    case VBMP3_KEY_ALBUM: return tag.album().to8Bit(true);
    case VBMP3_KEY_DATE: return number(tag.year());
    case VBMP3_KEY_COMMENT: return tag.comment().to8Bit(true);
    case VBMP3_KEY_GENRE: return tag.genre().to8Bit(true);
    case VBMP3_KEY_TRACK: return number(tag.track());
    default: return {};
    }
}

} // namespace vbmp3tags
