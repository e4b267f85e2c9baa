#pragma once
// The number a text begins with, as the catalogue's review count and the tag
// editor's track number are read: the longest leading run that forms one,
// the rest of the text ignored.
#include <string>
#include <string_view>

namespace vel {

struct NumberForm {
    std::u16string_view blanks; // skipped before the number
    bool exponent;              // "e" or "E", an optional sign and digits may follow the fraction
};

// [+-]digits[.digits] (either run of digits may be empty, not both) and,
// where the form allows, an exponent, after leading blanks; given back as
// plain decimal text that any C-locale reader takes ("+5." is "5", "-.5" is
// "-0.5"). Empty when the text does not begin with a number.
std::string leadingNumberText(std::u16string_view text, const NumberForm& form);

} // namespace vel
