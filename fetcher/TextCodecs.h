#pragma once
// The fetcher's own conversions between its UTF-16 strings and the network.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velfetch {

// Percent-encodes each UTF-16 code unit on its own as UTF-8 (surrogates are not
// paired); space becomes '+', letters, digits, '@', '*', '-', '.', '_' stay.
std::u16string UrlEncodeUtf8(std::u16string_view text);

// Decodes one- to three-byte UTF-8 sequences; every byte that does not start a
// complete sequence becomes `replacement` and decoding goes on with the next byte.
std::u16string Utf8ToString(std::span<const std::uint8_t> bytes, std::u16string_view replacement = {});

// ASCII text (hosts, constants) as UTF-16.
std::u16string fromAscii(std::string_view text);

} // namespace velfetch
