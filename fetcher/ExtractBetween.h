#pragma once
// Cuts element text out of a reply by plain text search: no XML parsing.
// Each routine works on UTF-16 text and, with the same results, on UTF-8 text
// in shortest form (see CompactUtf8): the markers it looks for are ASCII, and
// an ASCII character is one code unit in both.
#include <cstddef>
#include <string>
#include <string_view>

namespace velfetch {

// The text between the first `start` at or after `position` (1-based) and the
// next `end`, both found without regard to letter case. On success `position`
// moves to the end marker's position + 4 and one leading CR LF is dropped from
// the value; when either marker is missing the result is empty and `position`
// stays as it was. (On UTF-8 text the position counts bytes; it agrees with the
// UTF-16 one for end markers of four ASCII characters or more.)
std::u16string ExtractBetween(std::u16string_view text, std::u16string_view start, std::u16string_view end,
                              std::size_t& position);
std::string ExtractBetween(std::string_view text, std::string_view start, std::string_view end,
                           std::size_t& position);

// ExtractBetween with "<name>" and "</name>".
std::u16string GetTagValue(std::u16string_view text, std::u16string_view name, std::size_t& position);
std::string GetTagValue(std::string_view text, std::string_view name, std::size_t& position);

// Index of the first occurrence of `needle` at or after `from` (0-based),
// comparing ASCII letters without case; npos when there is none.
std::size_t findNoCase(std::u16string_view haystack, std::u16string_view needle, std::size_t from);

} // namespace velfetch
