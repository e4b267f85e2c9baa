#include "TextUtil.h"

#include <cmath>

namespace vel {
namespace {

template <typename S>
void trimQuotes(S& text) {
    if (!text.empty() && text.front() == '"') text.erase(0, 1);
    if (!text.empty() && text.back() == '"') text.pop_back();
}

template <typename C>
std::basic_string<C> trimSpaces(std::basic_string_view<C> text) {
    auto first = text.find_first_not_of(C(' '));
    if (first == std::basic_string_view<C>::npos) return {};
    auto last = text.find_last_not_of(C(' '));
    return std::basic_string<C>(text.substr(first, last - first + 1));
}

} // namespace

void TrimQuotes(std::string& text) { trimQuotes(text); }
void TrimQuotes(std::u16string& text) { trimQuotes(text); }

std::string TrimSpaces(std::string_view text) { return trimSpaces(text); }
std::u16string TrimSpaces(std::u16string_view text) { return trimSpaces(text); }

bool EndsWithMp3(std::string_view path) {
    if (path.size() < 4) return false;
    auto tail = path.substr(path.size() - 4);
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; };
    return tail[0] == '.' && up(tail[1]) == 'M' && up(tail[2]) == 'P' && tail[3] == '3';
}

long long RoundHalfEven(double value) { return static_cast<long long>(std::nearbyint(value)); }

} // namespace vel
