#pragma once
// The fetcher's own conversions between its UTF-16 strings and the network.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velfetch {

// Percent-encodes each UTF-16 code unit on its own as UTF-8 (surrogates are not
// paired); space becomes '+', letters, digits, '@', '*', '-', '.', '_' stay.
std::u16string UrlEncodeUtf8(std::u16string_view text);

// Decodes one- to three-byte UTF-8 sequences; every byte that does not start a
// complete sequence becomes `replacement` and decoding goes on with the next byte.
std::u16string Utf8ToString(std::span<const std::uint8_t> bytes, std::u16string_view replacement = {});

// Rewrites `bytes` in place into what Utf8ToString (empty replacement) reads
// from them, each character in its shortest UTF-8 form: invalid bytes go and
// over-long forms shrink, so an ASCII character is always one ASCII byte.
// Utf8ToString then reads the same text from the result, which is never longer.
// Replies are read this way without a UTF-16 copy twice their size.
void CompactUtf8(std::vector<std::uint8_t>& bytes);

// Each UTF-16 code unit in its one- to three-byte form: the inverse of Utf8ToString.
std::string StringToUtf8(std::u16string_view text);

// ASCII text (hosts, constants) as UTF-16.
std::u16string fromAscii(std::string_view text);

} // namespace velfetch
