// A recording stand-in for libvbmp3: every operation is logged by name and
// arguments, states move like the real library's, and tests steer the results.
#include "vbmp3_abi.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

struct Stub {
    std::string calls;
    int32_t state = 0, position = 0;
    int32_t openResult = 1, length = 200;
    int32_t left = 0, right = 0;
    int32_t tagResult = 0;
    uint8_t tag[VBMP3_TAG_RECORD_SIZE] = {};
    int32_t setTagResult = 1;
    uint8_t written[VBMP3_TAG_RECORD_SIZE] = {};
    int32_t writeCount = 0;
    std::map<int32_t, std::string> genreNames;
};

Stub& stub() {
    static Stub s;
    return s;
}

void log(const std::string& line) { stub().calls += line + "\n"; }

using vbmp3_abi::getInt;
using vbmp3_abi::putInt;

} // namespace

extern "C" {

// ---- the sixteen operations ----
int32_t vbmp3_init(void) { log("init"); return 1; }
int32_t vbmp3_setVolume(int32_t l, int32_t r) {
    log("setVolume " + std::to_string(l) + " " + std::to_string(r));
    stub().left = l;
    stub().right = r;
    return 1;
}
int32_t vbmp3_getVolume(int32_t* l, int32_t* r) {
    log("getVolume");
    *l = stub().left;
    *r = stub().right;
    return 1;
}
int32_t vbmp3_stop(void) { log("stop"); stub().state = 0; return 1; }
int32_t vbmp3_encodeStop(void) { log("encodeStop"); return 1; }
int32_t vbmp3_open(const char* path, uint8_t* info) {
    log(std::string("open ") + path);
    if (stub().openResult) putInt(info + VBMP3_INFO_LENGTH, stub().length);
    return stub().openResult;
}
int32_t vbmp3_play(void) { log("play"); stub().state = 1; stub().position = 0; return 1; }
int32_t vbmp3_pause(void) { log("pause"); if (stub().state == 1) stub().state = 2; return 1; }
int32_t vbmp3_restart(void) { log("restart"); if (stub().state == 2) stub().state = 1; return 1; }
int32_t vbmp3_getState(int32_t* pos) {
    *pos = stub().position; // polled every tick: not logged
    return stub().state;
}
int32_t vbmp3_seek(int32_t pos) { log("seek " + std::to_string(pos)); stub().position = pos; return 1; }
int32_t vbmp3_getFileTagInfoEX(const char* path, uint8_t* tag) {
    log(std::string("getFileTagInfoEX ") + path);
    if (stub().tagResult) std::memcpy(tag, stub().tag, VBMP3_TAG_RECORD_SIZE);
    return stub().tagResult;
}
int32_t vbmp3_setTagInfoEX(const char* path, uint8_t* tag, int32_t a, int32_t b) {
    log(std::string("setTagInfoEX ") + path + " " + std::to_string(a) + " " + std::to_string(b));
    std::memcpy(stub().written, tag, VBMP3_TAG_RECORD_SIZE);
    ++stub().writeCount;
    return stub().setTagResult;
}
int32_t vbmp3_getGenre(uint8_t* rec) {
    int32_t genre = getInt(rec + VBMP3_TAG_GENRE);
    std::memset(rec + VBMP3_TAG_GENRE_NAME, 0, VBMP3_TEXT_WIDTH);
    auto it = stub().genreNames.find(genre);
    std::string name = it != stub().genreNames.end() ? it->second : "Genre" + std::to_string(genre);
    std::memcpy(rec + VBMP3_TAG_GENRE_NAME, name.data(), std::min<std::size_t>(name.size(), VBMP3_TEXT_WIDTH - 1));
    return 1;
}
int32_t vbmp3_stopCallback(void) { log("stopCallback"); return 1; }
int32_t vbmp3_free(void) { log("free"); return 1; }

// ---- steering, for tests only ----
VBMP3_API void vbstub_reset(void) { stub() = Stub{}; }
VBMP3_API const char* vbstub_calls(void) { return stub().calls.c_str(); }
VBMP3_API void vbstub_clear_calls(void) { stub().calls.clear(); }
VBMP3_API void vbstub_set_state(int32_t state, int32_t position) {
    stub().state = state;
    stub().position = position;
}
VBMP3_API void vbstub_set_open(int32_t result, int32_t length) {
    stub().openResult = result;
    stub().length = length;
}
VBMP3_API void vbstub_set_tag(const uint8_t* tag656, int32_t result) {
    if (tag656) std::memcpy(stub().tag, tag656, VBMP3_TAG_RECORD_SIZE);
    stub().tagResult = result;
}
VBMP3_API void vbstub_set_settag_result(int32_t result) { stub().setTagResult = result; }
VBMP3_API int32_t vbstub_written_tag(uint8_t* out656) {
    std::memcpy(out656, stub().written, VBMP3_TAG_RECORD_SIZE);
    return stub().writeCount;
}
VBMP3_API void vbstub_set_genre_name(int32_t genre, const char* cp932) { stub().genreNames[genre] = cp932; }

} // extern "C"
