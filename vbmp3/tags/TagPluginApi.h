#pragma once
// The C interface between libvbmp3 and its plug-in libvbmp3tags.so, which
// reads ID3v2 tags (with TagLib) and APEv2 tags. libvbmp3 loads the plug-in only for
// a file without an ID3v1 tag, so that programs which never meet such a file
// (or never read a tag) do not pay for loading TagLib.
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VBMP3_TAG_PLUGIN "libvbmp3tags.so"
#define VBMP3_TAG_READ "vbmp3tags_read"
#define VBMP3_TAG_GAIN "vbmp3tags_track_gain"

enum Vbmp3TagKey {
    VBMP3_KEY_TITLE,
    VBMP3_KEY_ARTIST,
    VBMP3_KEY_ALBUM,
    VBMP3_KEY_DATE,
    VBMP3_KEY_COMMENT,
    VBMP3_KEY_GENRE, // a genre name, or an ID3v1 genre number as text
    VBMP3_KEY_TRACK, // as the tag has it, "3/12" say
    VBMP3_KEYS
};

// Receives one field: UTF-8, length bytes, no NUL needed.
typedef void (*Vbmp3TagField)(void* context, int key, const char* utf8, size_t length);

// Reads the ID3v2 tag at the start of the MPEG file open on fd (which stays
// open), or its APEv2 tag when the ID3v2 tag is missing or holds none of the
// fields; hands the first value of each field that is not empty to `field`.
// Returns non-zero when it handed over at least one field. A tag larger than
// 32 MiB is not read, nor more than its first 4096 frames or items, nor a
// compressed or encrypted frame, nor a frame longer than 64 KiB.
typedef int (*Vbmp3TagRead)(int fd, Vbmp3TagField field, void* context);

// The ReplayGain track gain (dB) and peak (full scale 1; 0 when unknown) of
// the APEv2 tag of the MPEG file open on fd, as mp3gain writes them. Returns
// non-zero when the tag has a gain.
typedef int (*Vbmp3TagGain)(int fd, double* gainDb, double* peak);

#ifdef __cplusplus
}
#endif
