// Placeholder until the decoder lands.
#include "vbmp3_abi.h"
extern "C" {
int32_t vbmp3_init(void) { return 1; }
int32_t vbmp3_setVolume(int32_t, int32_t) { return 1; }
int32_t vbmp3_getVolume(int32_t* l, int32_t* r) { *l = *r = 50; return 1; }
int32_t vbmp3_stop(void) { return 1; }
int32_t vbmp3_encodeStop(void) { return 1; }
int32_t vbmp3_open(const char*, uint8_t*) { return 0; }
int32_t vbmp3_play(void) { return 1; }
int32_t vbmp3_pause(void) { return 1; }
int32_t vbmp3_restart(void) { return 1; }
int32_t vbmp3_getState(int32_t* p) { *p = 0; return 0; }
int32_t vbmp3_seek(int32_t) { return 1; }
int32_t vbmp3_getFileTagInfoEX(const char*, uint8_t*) { return 0; }
int32_t vbmp3_setTagInfoEX(const char*, uint8_t*, int32_t, int32_t) { return 0; }
int32_t vbmp3_getGenre(uint8_t*) { return 1; }
int32_t vbmp3_stopCallback(void) { return 1; }
int32_t vbmp3_free(void) { return 1; }
}
