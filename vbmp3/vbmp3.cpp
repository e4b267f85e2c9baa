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

// Byte form offsets of the records.
constexpr std::size_t kTitle = 0, kArtist = 128, kAlbum = 256, kYear = 384, kComment = 389,
                      kGenre = 520, kGenreName = 524, kTrackNo = 652, kTagSize = 656,
                      kShortTagSize = 652;
constexpr std::size_t kInfoText1 = 0, kInfoText2 = 128, kInfoValue3 = 256, kInfoValue4 = 260,
                      kInfoValue5 = 264, kInfoLength = 268, kInfoSize = 272;
constexpr std::size_t kWide = 128, kYearWidth = 5;

std::int32_t getInt(const std::uint8_t* p) {
    return static_cast<std::int32_t>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                     std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
}

void putInt(std::uint8_t* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

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

} // namespace

extern "C" {

int32_t vbmp3_init(void) {
    player(); // no audio device yet: that waits for the first play
    return 1;
}

int32_t vbmp3_setVolume(int32_t left, int32_t right) {
    player()->setVolume(left, right);
    return 1;
}

int32_t vbmp3_getVolume(int32_t* left, int32_t* right) {
    int l = 0, r = 0;
    player()->volume(l, r);
    if (left) *left = l;
    if (right) *right = r;
    return 1;
}

int32_t vbmp3_stop(void) {
    player()->stop();
    return 1;
}

int32_t vbmp3_encodeStop(void) { return 1; } // there is no encoder

int32_t vbmp3_open(const char* path, uint8_t* trackInfo) {
    int length = 0;
    vbmp3::StreamInfo info;
    if (!player()->open(path, length, info)) return 0;
    if (trackInfo) {
        std::memset(trackInfo, 0, kInfoSize);
        const auto& h = info.first;
        char text[kWide];
        std::snprintf(text, sizeof text, "%s Layer %s", versionName(h.version),
                      h.layer == 1 ? "I" : h.layer == 2 ? "II" : "III");
        putText(trackInfo + kInfoText1, kWide, text);
        std::snprintf(text, sizeof text, "%d Hz, %s, %d kbps", h.sampleRate,
                      info.channels == 1 ? "mono" : "stereo", info.averageKbps());
        putText(trackInfo + kInfoText2, kWide, text);
        putInt(trackInfo + kInfoValue3, h.sampleRate);
        putInt(trackInfo + kInfoValue4, info.channels);
        putInt(trackInfo + kInfoValue5, info.averageKbps());
        putInt(trackInfo + kInfoLength, length);
    }
    return 1;
}

int32_t vbmp3_play(void) { return player()->play() ? 1 : 0; }

int32_t vbmp3_pause(void) {
    player()->pause();
    return 1;
}

int32_t vbmp3_restart(void) {
    player()->restart();
    return 1;
}

int32_t vbmp3_getState(int32_t* position) {
    int pos = 0;
    const int state = player()->state(pos);
    if (position) *position = pos;
    return state;
}

int32_t vbmp3_seek(int32_t position) {
    player()->seek(position);
    return 1;
}

int32_t vbmp3_getFileTagInfoEX(const char* path, uint8_t* tagRecord) {
    if (!tagRecord) return 0;
    auto tag = vbmp3::Id3v1::read(path);
    // Without an ID3v1 tag, an ID3v2 or APEv2 tag stands in; it is only read
    // (a save appends an ID3v1 tag and leaves it alone).
    if (!tag) tag = vbmp3::OtherTags::read(path);
    if (!tag) return 0;
    std::memset(tagRecord, 0, kTagSize);
    putText(tagRecord + kTitle, kWide, tag->title);
    putText(tagRecord + kArtist, kWide, tag->artist);
    putText(tagRecord + kAlbum, kWide, tag->album);
    putText(tagRecord + kYear, kYearWidth, tag->year);
    putText(tagRecord + kComment, kWide, tag->comment);
    putInt(tagRecord + kGenre, tag->genre);
    putText(tagRecord + kGenreName, kWide, vbmp3::GenreNames::name(tag->genre));
    putInt(tagRecord + kTrackNo, tag->track);
    return 1;
}

// The two trailing arguments have no meaning here (callers always pass 1).
int32_t vbmp3_setTagInfoEX(const char* path, uint8_t* tagRecord, int32_t, int32_t) {
    if (!tagRecord) return 0;
    vbmp3::Id3v1Tag tag;
    tag.title = getText(tagRecord + kTitle, kWide);
    tag.artist = getText(tagRecord + kArtist, kWide);
    tag.album = getText(tagRecord + kAlbum, kWide);
    tag.year = getText(tagRecord + kYear, kYearWidth);
    tag.comment = getText(tagRecord + kComment, kWide);
    tag.genre = getInt(tagRecord + kGenre);
    tag.track = getInt(tagRecord + kTrackNo);
    return vbmp3::Id3v1::write(path, tag) ? 1 : 0;
}

int32_t vbmp3_getGenre(uint8_t* shortTagRecord) {
    if (!shortTagRecord) return 0;
    const int genre = getInt(shortTagRecord + kGenre);
    putText(shortTagRecord + kGenreName, kWide, vbmp3::GenreNames::name(genre));
    return genre >= 0 && genre <= 255 ? 1 : 0;
}

int32_t vbmp3_stopCallback(void) { return 1; } // there is no callback

int32_t vbmp3_free(void) {
    std::shared_ptr<Player> last;
    {
        std::lock_guard lock(g_mutex);
        last = std::move(g_player);
    }
    if (last) last->stop();
    return 1; // the player and its audio device go with the last reference
}

} // extern "C"

static_assert(kShortTagSize == kGenreName + kWide);
static_assert(kInfoLength + 4 == kInfoSize && kInfoText2 == kInfoText1 + kWide &&
              kInfoValue4 == kInfoValue3 + 4 && kInfoValue5 == kInfoValue4 + 4);
static_assert(kComment == kYear + kYearWidth && kTrackNo + 4 == kTagSize);
