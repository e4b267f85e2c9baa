#include "ExtractBetween.h"

#include <algorithm>

namespace velfetch {
namespace {

// The markers are ASCII; folding ASCII letters is all the matching needs.
template <class Char>
Char fold(Char c) {
    return (c >= Char('A') && c <= Char('Z')) ? Char(c + 32) : c;
}

template <class Char>
std::size_t find(std::basic_string_view<Char> haystack, std::basic_string_view<Char> needle, std::size_t from) {
    if (from > haystack.size()) return std::basic_string_view<Char>::npos;
    auto it = std::search(haystack.begin() + from, haystack.end(), needle.begin(), needle.end(),
                          [](Char a, Char b) { return fold(a) == fold(b); });
    if (it == haystack.end() && !needle.empty()) return std::basic_string_view<Char>::npos;
    return static_cast<std::size_t>(it - haystack.begin());
}

template <class Char>
std::basic_string<Char> extract(std::basic_string_view<Char> text, std::basic_string_view<Char> start,
                                std::basic_string_view<Char> end, std::size_t& position) {
    const std::size_t from = position > 0 ? position - 1 : 0;
    const std::size_t startAt = find(text, start, from);
    if (startAt == std::basic_string_view<Char>::npos) return {};
    const std::size_t valueAt = startAt + start.size();
    const std::size_t endAt = find(text, end, valueAt);
    if (endAt == std::basic_string_view<Char>::npos) return {};

    position = endAt + 1 + 4; // 1-based position of the end marker, plus 4 whatever its length
    std::basic_string_view<Char> value = text.substr(valueAt, endAt - valueAt);
    static constexpr Char crlf[] = {Char('\r'), Char('\n'), Char(0)};
    if (value.starts_with(crlf)) value.remove_prefix(2);
    return std::basic_string<Char>(value);
}

template <class Char>
std::basic_string<Char> tagValue(std::basic_string_view<Char> text, std::basic_string_view<Char> name,
                                 std::size_t& position) {
    std::basic_string<Char> start(1, Char('<'));
    start.append(name).push_back(Char('>'));
    std::basic_string<Char> end{Char('<'), Char('/')};
    end.append(name).push_back(Char('>'));
    return extract<Char>(text, start, end, position);
}

} // namespace

std::size_t findNoCase(std::u16string_view haystack, std::u16string_view needle, std::size_t from) {
    return find(haystack, needle, from);
}

std::u16string ExtractBetween(std::u16string_view text, std::u16string_view start, std::u16string_view end,
                              std::size_t& position) {
    return extract(text, start, end, position);
}
std::string ExtractBetween(std::string_view text, std::string_view start, std::string_view end,
                           std::size_t& position) {
    return extract(text, start, end, position);
}

std::u16string GetTagValue(std::u16string_view text, std::u16string_view name, std::size_t& position) {
    return tagValue(text, name, position);
}
std::string GetTagValue(std::string_view text, std::string_view name, std::size_t& position) {
    return tagValue(text, name, position);
}

} // namespace velfetch
