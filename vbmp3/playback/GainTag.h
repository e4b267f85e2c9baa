#pragma once
// The leading ID3v2 tag that libmpg123 reads for a track gain. libmpg123
// keeps the tag's text, comment and lyrics frames in lists it searches
// through for every new one: a tag of many thousand such frames costs it
// seconds to minutes at open, and it holds about twice the tag's text.
#include "FrameScanner.h"

namespace vbmp3 {

class GainTag {
public:
    // Whether libmpg123 may be given the tag at `tag` of the file open on fd:
    // not when it is larger than 32 MiB, nor when the names of those frames
    // ("T..." text, COMM, USLT; TXX, COM, ULT in 2.2) occur in it more than
    // 4096 times, which bounds how many of them libmpg123 can find.
    static bool cheapEnough(int fd, const ByteRange& tag);
};

} // namespace vbmp3
