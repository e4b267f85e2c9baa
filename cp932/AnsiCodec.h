#pragma once
// The legacy "ANSI" code page of the records and the hand-off files: CP932.
#include <string>
#include <string_view>

namespace vel {

// UTF-16 to CP932. Characters CP932 lacks become '?'.
std::string toAnsi(std::u16string_view text);

// CP932 to UTF-16. Every byte counts (NUL bytes become NUL characters);
// an undecodable byte becomes U+FFFD and decoding goes on with the next byte.
std::u16string fromAnsi(std::string_view bytes);

// Length of the longest prefix of `bytes` no longer than `limit` that does not
// end in the middle of a CP932 double-byte character.
std::size_t ansiCutLength(std::string_view bytes, std::size_t limit);

// Lossy UTF-8 <-> UTF-16 for display and search words (not for paths on disk).
std::u16string utf8ToUtf16(std::string_view bytes);
std::string utf16ToUtf8(std::u16string_view text);

} // namespace vel
