#pragma once
// Tag text that may have been cut at its field's width. An ID3v1 field holds
// 30 bytes of CP932 (15 kanji), and the tag record holds 127 bytes of any
// other tag's text: a longer name arrives as its beginning, perhaps with the
// first byte of a double-byte character cut in half.
#include <cstddef>
#include <string>
#include <string_view>

namespace velfetch::opencatalog {

constexpr std::size_t kLegacyFieldBytes = 30;  // an ID3v1 text field
constexpr std::size_t kRecordFieldBytes = 127; // a tag record's text, less its closing NUL

// `field` (UTF-8, blanks as the tag holds them) fills one of those widths in
// CP932, or all but its last byte with a double-byte character last (cut
// before a character that would not fit). Blanks that pad a short text to the
// width are no cut: a field that ends in two of them was not cut.
bool MayBeCut(std::string_view field);

// `text` without trailing blanks and without the remnant of a double-byte
// character cut in half (which decodes as U+FFFD).
std::string WithoutCutRemnant(std::string_view text);

// A cut text split for a search: `whole` is what stands before a last word that
// may be cut (a run of letters or digits of a script that spaces its words;
// a kanji or kana is a word of its own and is never cut short), without the
// blanks and punctuation before it; `partial` is that last word when it is plain
// ASCII letters and digits, in lower case; otherwise it is empty.
struct CutWords {
    std::string whole;
    std::string partial;
};
CutWords SplitCutWord(std::string_view text);

} // namespace velfetch::opencatalog
