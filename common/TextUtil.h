#pragma once
// Small text helpers shared by both programs.
#include <string>
#include <string_view>

namespace vel {

// Removes one leading double quote, then one trailing double quote.
void TrimQuotes(std::string& text);
void TrimQuotes(std::u16string& text);

// Leading and trailing blanks (spaces only) removed.
std::string TrimSpaces(std::string_view text);
std::u16string TrimSpaces(std::u16string_view text);

// True when the last four characters, upper-cased, are ".MP3".
bool EndsWithMp3(std::string_view path);

// Round to nearest, halves to even (the rounding of every whole-number conversion).
long long RoundHalfEven(double value);

} // namespace vel
