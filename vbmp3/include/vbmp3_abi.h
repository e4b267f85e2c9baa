/* C interface of libvbmp3: the sixteen operations, records in byte form. */
#ifndef VBMP3_ABI_H
#define VBMP3_ABI_H
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define VBMP3_API __declspec(dllexport)
#else
#define VBMP3_API __attribute__((visibility("default")))
#endif

/* Records: TrackInfo 272 bytes, TagRecord 656, ShortTagRecord 652.
   Paths: NUL-terminated, in the operating system's own encoding. */
VBMP3_API int32_t vbmp3_init(void);
VBMP3_API int32_t vbmp3_setVolume(int32_t left, int32_t right);
VBMP3_API int32_t vbmp3_getVolume(int32_t* left, int32_t* right);
VBMP3_API int32_t vbmp3_stop(void);
VBMP3_API int32_t vbmp3_encodeStop(void);
VBMP3_API int32_t vbmp3_open(const char* path, uint8_t* trackInfo);
VBMP3_API int32_t vbmp3_play(void);
VBMP3_API int32_t vbmp3_pause(void);
VBMP3_API int32_t vbmp3_restart(void);
VBMP3_API int32_t vbmp3_getState(int32_t* position);
VBMP3_API int32_t vbmp3_seek(int32_t position);
VBMP3_API int32_t vbmp3_getFileTagInfoEX(const char* path, uint8_t* tagRecord);
VBMP3_API int32_t vbmp3_setTagInfoEX(const char* path, uint8_t* tagRecord, int32_t a, int32_t b);
VBMP3_API int32_t vbmp3_getGenre(uint8_t* shortTagRecord);
VBMP3_API int32_t vbmp3_stopCallback(void);
VBMP3_API int32_t vbmp3_free(void);

#ifdef __cplusplus
}
#endif
#endif
