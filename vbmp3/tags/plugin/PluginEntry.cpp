// The plug-in's functions: the fields of an MP3 file's ID3v2 or APEv2 tag,
// handed over one by one as UTF-8, and the APEv2 tag's track gain. Nothing
// thrown inside (an allocation that fails, say) crosses into the caller; it
// ends the call as "nothing".
#include "LegacyLatin1.h"
#include "TagFields.h"

#include <type_traits>

#define VBMP3_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// How many fields it handed over.
int handOver(const vbmp3tags::Fields& fields, Vbmp3TagField field, void* context) {
    int handed = 0;
    for (int key = 0; key < VBMP3_KEYS; ++key) {
        if (fields[key].empty()) continue;
        field(context, key, fields[key].data(), fields[key].size());
        ++handed;
    }
    return handed;
}

} // namespace

VBMP3_EXPORT int vbmp3tags_read(int fd, Vbmp3TagField field, void* context) {
    try {
        static const vbmp3::LegacyLatin1 latin1;
        TagLib::ID3v2::Tag::setLatin1StringHandler(&latin1);
        if (handOver(vbmp3tags::Id3v2Fields(fd), field, context) > 0) return 1;
        return handOver(vbmp3tags::ApeFields(fd), field, context) > 0 ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

VBMP3_EXPORT int vbmp3tags_track_gain(int fd, double* gainDb, double* peak) {
    try {
        const auto gain = vbmp3tags::ApeTrackGain(fd);
        if (!gain) return 0;
        *gainDb = gain->first;
        *peak = gain->second;
        return 1;
    } catch (...) {
        return 0;
    }
}

static_assert(std::is_same_v<decltype(&vbmp3tags_read), Vbmp3TagRead>);
static_assert(std::is_same_v<decltype(&vbmp3tags_track_gain), Vbmp3TagGain>);
