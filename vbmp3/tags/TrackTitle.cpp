#include "TrackTitle.h"

#include "AnsiCodec.h"
#include "Id3v1.h"
#include "OtherTags.h"

#include <string_view>

namespace vbmp3 {

std::string trackTitle(const char* path) {
    if (const auto v1 = Id3v1::read(path); v1 && !v1->title.empty())
        return vel::utf16ToUtf8(vel::fromAnsi(v1->title));
    std::string title;
    if (const auto other = OtherTags::readFields(path)) title = (*other)[VBMP3_KEY_TITLE];
    if (title.empty()) {
        const std::string_view p(path);
        title = p.substr(p.find_last_of('/') + 1);
    }
    // The sound server takes UTF-8 only: a stray byte must not cost the stream.
    return vel::utf16ToUtf8(vel::utf8ToUtf16(title));
}

} // namespace vbmp3
