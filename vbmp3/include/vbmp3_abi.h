/* The C interface of libvbmp3: the sixteen operations and the byte form of
   the three records they exchange. The library, the programs' binding and the
   test stand-in all take the signatures and the layout from here.

   Integers are 32-bit signed. Paths are NUL-terminated, in the operating
   system's own encoding. Records are the caller's buffers, in the byte form
   below: integers little-endian, each text field exactly its width in CP932
   bytes with no terminator of its own. The library keeps no reference to a
   buffer after returning. Every operation returns 0 when it fails, also when
   something unexpected goes wrong inside the library. */
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

/* Byte form of the records: offsets and widths in bytes. */
enum {
    VBMP3_TEXT_WIDTH = 128, /* every text field but Year */
    VBMP3_YEAR_WIDTH = 5,
    VBMP3_INT_WIDTH = 4,

    /* TrackInfo, filled by vbmp3_open. Length is in whole seconds. */
    VBMP3_INFO_TEXT1 = 0,
    VBMP3_INFO_TEXT2 = 128,
    VBMP3_INFO_VALUE3 = 256,
    VBMP3_INFO_VALUE4 = 260,
    VBMP3_INFO_VALUE5 = 264,
    VBMP3_INFO_LENGTH = 268,
    VBMP3_TRACK_INFO_SIZE = 272,

    /* TagRecord: a file's ID3v1 tag. ShortTagRecord is its first 652 bytes
       (without TrackNo) and serves only vbmp3_getGenre. Genre and TrackNo
       are -1 for none. */
    VBMP3_TAG_TITLE = 0,
    VBMP3_TAG_ARTIST = 128,
    VBMP3_TAG_ALBUM = 256,
    VBMP3_TAG_YEAR = 384,
    VBMP3_TAG_COMMENT = 389,
    VBMP3_TAG_FILLER = 517, /* three zero bytes */
    VBMP3_TAG_GENRE = 520,
    VBMP3_TAG_GENRE_NAME = 524,
    VBMP3_TAG_TRACK_NO = 652,
    VBMP3_SHORT_TAG_RECORD_SIZE = 652,
    VBMP3_TAG_RECORD_SIZE = 656
};

VBMP3_API int32_t vbmp3_init(void);
VBMP3_API int32_t vbmp3_setVolume(int32_t left, int32_t right);
VBMP3_API int32_t vbmp3_getVolume(int32_t* left, int32_t* right);
VBMP3_API int32_t vbmp3_stop(void);
VBMP3_API int32_t vbmp3_encodeStop(void);
/* Nonzero: opened, trackInfo filled. */
VBMP3_API int32_t vbmp3_open(const char* path, uint8_t* trackInfo);
VBMP3_API int32_t vbmp3_play(void);
VBMP3_API int32_t vbmp3_pause(void);
VBMP3_API int32_t vbmp3_restart(void);
/* The state: 0 stopped, 1 playing, 2 paused; position in whole seconds. */
VBMP3_API int32_t vbmp3_getState(int32_t* position);
VBMP3_API int32_t vbmp3_seek(int32_t position);
/* Nonzero: a tag was read and tagRecord filled. */
VBMP3_API int32_t vbmp3_getFileTagInfoEX(const char* path, uint8_t* tagRecord);
/* The two trailing arguments have no meaning (callers pass 1, 1). */
VBMP3_API int32_t vbmp3_setTagInfoEX(const char* path, uint8_t* tagRecord, int32_t a, int32_t b);
/* Writes the name of shortTagRecord's Genre into its GenreName. */
VBMP3_API int32_t vbmp3_getGenre(uint8_t* shortTagRecord);
VBMP3_API int32_t vbmp3_stopCallback(void);
VBMP3_API int32_t vbmp3_free(void);

#ifdef __cplusplus
}
#endif

/* Each field ends where the next begins, and each record where its last field ends. */
#ifdef __cplusplus
#define VBMP3_LAYOUT_CHECK(cond) static_assert(cond, #cond)
#else
#define VBMP3_LAYOUT_CHECK(cond) _Static_assert(cond, #cond)
#endif
VBMP3_LAYOUT_CHECK(VBMP3_INFO_TEXT2 == VBMP3_INFO_TEXT1 + VBMP3_TEXT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_INFO_VALUE3 == VBMP3_INFO_TEXT2 + VBMP3_TEXT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_INFO_VALUE4 == VBMP3_INFO_VALUE3 + VBMP3_INT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_INFO_VALUE5 == VBMP3_INFO_VALUE4 + VBMP3_INT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_INFO_LENGTH == VBMP3_INFO_VALUE5 + VBMP3_INT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_TRACK_INFO_SIZE == VBMP3_INFO_LENGTH + VBMP3_INT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_TAG_ARTIST == VBMP3_TAG_TITLE + VBMP3_TEXT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_TAG_ALBUM == VBMP3_TAG_ARTIST + VBMP3_TEXT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_TAG_YEAR == VBMP3_TAG_ALBUM + VBMP3_TEXT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_TAG_COMMENT == VBMP3_TAG_YEAR + VBMP3_YEAR_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_TAG_FILLER == VBMP3_TAG_COMMENT + VBMP3_TEXT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_TAG_GENRE == VBMP3_TAG_FILLER + 3);
VBMP3_LAYOUT_CHECK(VBMP3_TAG_GENRE_NAME == VBMP3_TAG_GENRE + VBMP3_INT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_SHORT_TAG_RECORD_SIZE == VBMP3_TAG_GENRE_NAME + VBMP3_TEXT_WIDTH);
VBMP3_LAYOUT_CHECK(VBMP3_TAG_TRACK_NO == VBMP3_SHORT_TAG_RECORD_SIZE);
VBMP3_LAYOUT_CHECK(VBMP3_TAG_RECORD_SIZE == VBMP3_TAG_TRACK_NO + VBMP3_INT_WIDTH);
#undef VBMP3_LAYOUT_CHECK

#ifdef __cplusplus
/* The records' integers in and out of their little-endian byte form. */
namespace vbmp3_abi {

inline int32_t getInt(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                                uint32_t{p[3]} << 24);
}

inline void putInt(uint8_t* p, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < VBMP3_INT_WIDTH; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

} // namespace vbmp3_abi
#endif
#endif
