#pragma once
// Japanese taggers of old wrote CP932 bytes into ID3v2 text frames marked as
// Latin-1, as into ID3v1 tags. Such a frame is read as CP932 when its bytes
// make sense only that way; every other Latin-1 frame is read as Latin-1.
#include <taglib/id3v2tag.h>

namespace vbmp3 {

class LegacyLatin1 : public TagLib::ID3v2::Latin1StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override;

    // Whether the bytes are CP932 text: every byte above ASCII belongs to a
    // double-byte character of JIS X 0208 (or is a half-width katakana), and
    // at least one is a kana or a first-level kanji, whose lead bytes
    // (0x81-0x9F) are control codes that Latin-1 text never holds.
    static bool looksLikeCp932(const TagLib::ByteVector& data);
};

} // namespace vbmp3
