// The C interface of libvbmp3: records in their byte form, one Player per
// init/free cycle. Nothing but these sixteen functions is exported.
#include "vbmp3_abi.h"

#include "GenreNames.h"
#include "Id3v1.h"
#include "OtherTags.h"
#include "Player.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

using vbmp3::Player;

using vbmp3_abi::getInt;
using vbmp3_abi::putInt;
constexpr std::size_t kWide = VBMP3_TEXT_WIDTH, kYearWidth = VBMP3_YEAR_WIDTH;

// A text field's bytes up to its first NUL.
std::string getText(const std::uint8_t* p, std::size_t width) {
    const char* s = reinterpret_cast<const char*>(p);
    return std::string(s, strnlen(s, width));
}

// Zero-fills the field, then copies text ending with a NUL inside the field.
void putText(std::uint8_t* p, std::size_t width, std::string_view text) {
    std::memset(p, 0, width);
    if (!text.empty()) std::memcpy(p, text.data(), std::min(text.size(), width - 1));
}

std::mutex g_mutex;
std::shared_ptr<Player> g_player;

// The current player, made on demand so that a call before init is harmless.
std::shared_ptr<Player> player() {
    std::lock_guard lock(g_mutex);
    if (!g_player) g_player = std::make_shared<Player>();
    return g_player;
}

const char* versionName(int version) {
    return version == 10 ? "MPEG-1" : version == 20 ? "MPEG-2" : "MPEG-2.5";
}

// Nothing may unwind across the C boundary: whatever a call throws (memory
// running out, a thread that cannot start) ends it with the failure value 0.
template <typename Body>
std::int32_t guarded(Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return 0;
    }
}

} // namespace

extern "C" {

int32_t vbmp3_init(void) {
    return guarded([] {
        player(); // no audio device yet: that waits for the first play
        return 1;
    });
}

int32_t vbmp3_setVolume(int32_t left, int32_t right) {
    return guarded([&] {
        player()->setVolume(left, right);
        return 1;
    });
}

int32_t vbmp3_getVolume(int32_t* left, int32_t* right) {
    return guarded([&] {
        int l = 0, r = 0;
        player()->volume(l, r);
        if (left) *left = l;
        if (right) *right = r;
        return 1;
    });
}

int32_t vbmp3_stop(void) {
    return guarded([] {
        player()->stop();
        return 1;
    });
}

int32_t vbmp3_encodeStop(void) { return 1; } // there is no encoder

int32_t vbmp3_open(const char* path, uint8_t* trackInfo) {
    return guarded([&] {
        int length = 0;
        vbmp3::StreamInfo info;
        if (!player()->open(path, length, info)) return 0;
        if (trackInfo) {
            std::memset(trackInfo, 0, VBMP3_TRACK_INFO_SIZE);
            const auto& h = info.first;
            char text[kWide];
            std::snprintf(text, sizeof text, "%s Layer %s", versionName(h.version),
                          h.layer == 1 ? "I" : h.layer == 2 ? "II" : "III");
            putText(trackInfo + VBMP3_INFO_TEXT1, kWide, text);
            std::snprintf(text, sizeof text, "%d Hz, %s, %d kbps", h.sampleRate,
                          info.channels == 1 ? "mono" : "stereo", info.averageKbps());
            putText(trackInfo + VBMP3_INFO_TEXT2, kWide, text);
            putInt(trackInfo + VBMP3_INFO_VALUE3, h.sampleRate);
            putInt(trackInfo + VBMP3_INFO_VALUE4, info.channels);
            putInt(trackInfo + VBMP3_INFO_VALUE5, info.averageKbps());
            putInt(trackInfo + VBMP3_INFO_LENGTH, length);
        }
        return 1;
    });
}

int32_t vbmp3_play(void) {
    return guarded([] { return player()->play() ? 1 : 0; });
}

int32_t vbmp3_pause(void) {
    return guarded([] {
        player()->pause();
        return 1;
    });
}

int32_t vbmp3_restart(void) {
    return guarded([] {
        player()->restart();
        return 1;
    });
}

// A failed call reads as stopped.
int32_t vbmp3_getState(int32_t* position) {
    return guarded([&] {
        int pos = 0;
        const int state = player()->state(pos);
        if (position) *position = pos;
        return state;
    });
}

int32_t vbmp3_seek(int32_t position) {
    return guarded([&] {
        player()->seek(position);
        return 1;
    });
}

int32_t vbmp3_getFileTagInfoEX(const char* path, uint8_t* tagRecord) {
    return guarded([&] {
        if (!tagRecord) return 0;
        auto tag = vbmp3::Id3v1::read(path);
        // Without an ID3v1 tag, an ID3v2 or APEv2 tag stands in; it is only read
        // (a save appends an ID3v1 tag and leaves it alone).
        if (!tag) tag = vbmp3::OtherTags::read(path);
        if (!tag) return 0;
        std::memset(tagRecord, 0, VBMP3_TAG_RECORD_SIZE);
        putText(tagRecord + VBMP3_TAG_TITLE, kWide, tag->title);
        putText(tagRecord + VBMP3_TAG_ARTIST, kWide, tag->artist);
        putText(tagRecord + VBMP3_TAG_ALBUM, kWide, tag->album);
        putText(tagRecord + VBMP3_TAG_YEAR, kYearWidth, tag->year);
        putText(tagRecord + VBMP3_TAG_COMMENT, kWide, tag->comment);
        putInt(tagRecord + VBMP3_TAG_GENRE, tag->genre);
        putText(tagRecord + VBMP3_TAG_GENRE_NAME, kWide, vbmp3::GenreNames::name(tag->genre));
        putInt(tagRecord + VBMP3_TAG_TRACK_NO, tag->track);
        return 1;
    });
}

// The two trailing arguments have no meaning here (callers always pass 1).
int32_t vbmp3_setTagInfoEX(const char* path, uint8_t* tagRecord, int32_t, int32_t) {
    return guarded([&] {
        if (!tagRecord) return 0;
        vbmp3::Id3v1Tag tag;
        tag.title = getText(tagRecord + VBMP3_TAG_TITLE, kWide);
        tag.artist = getText(tagRecord + VBMP3_TAG_ARTIST, kWide);
        tag.album = getText(tagRecord + VBMP3_TAG_ALBUM, kWide);
        tag.year = getText(tagRecord + VBMP3_TAG_YEAR, kYearWidth);
        tag.comment = getText(tagRecord + VBMP3_TAG_COMMENT, kWide);
        tag.genre = getInt(tagRecord + VBMP3_TAG_GENRE);
        tag.track = getInt(tagRecord + VBMP3_TAG_TRACK_NO);
        return vbmp3::Id3v1::write(path, tag) ? 1 : 0;
    });
}

int32_t vbmp3_getGenre(uint8_t* shortTagRecord) {
    return guarded([&] {
        if (!shortTagRecord) return 0;
        const int genre = getInt(shortTagRecord + VBMP3_TAG_GENRE);
        putText(shortTagRecord + VBMP3_TAG_GENRE_NAME, kWide, vbmp3::GenreNames::name(genre));
        return genre >= 0 && genre <= 255 ? 1 : 0;
    });
}

int32_t vbmp3_stopCallback(void) { return 1; } // there is no callback

int32_t vbmp3_free(void) {
    return guarded([] {
        std::shared_ptr<Player> last;
        {
            std::lock_guard lock(g_mutex);
            last = std::move(g_player);
        }
        if (last) last->stop();
        return 1; // the player and its audio device go with the last reference
    });
}

} // extern "C"
