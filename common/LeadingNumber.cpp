#include "LeadingNumber.h"

namespace vel {
namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

} // namespace

std::string leadingNumberText(std::u16string_view text, const NumberForm& form) {
    std::size_t i = 0;
    while (i < text.size() && form.blanks.find(text[i]) != std::u16string_view::npos) ++i;

    std::string number;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-') number += '-';
        ++i;
    }
    std::string whole, fraction;
    while (i < text.size() && isDigit(text[i])) whole += char(text[i++]);
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) fraction += char(text[i++]);
    }
    if (whole.empty() && fraction.empty()) return {};
    number += whole.empty() ? "0" : whole;
    if (!fraction.empty()) number += '.' + fraction;

    if (form.exponent && i + 1 < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) exponent += char(text[j++]);
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) exponent += char(text[j++]);
            number += exponent;
        }
    }
    return number;
}

} // namespace vel
