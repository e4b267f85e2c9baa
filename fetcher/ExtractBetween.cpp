#include "ExtractBetween.h"

#include <algorithm>

namespace velfetch {
namespace {

// The markers are ASCII; folding ASCII letters is all the matching needs.
char16_t fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

} // namespace

std::size_t findNoCase(std::u16string_view haystack, std::u16string_view needle, std::size_t from) {
    if (from > haystack.size()) return std::u16string_view::npos;
    auto it = std::search(haystack.begin() + from, haystack.end(), needle.begin(), needle.end(),
                          [](char16_t a, char16_t b) { return fold(a) == fold(b); });
    if (it == haystack.end() && !needle.empty()) return std::u16string_view::npos;
    return static_cast<std::size_t>(it - haystack.begin());
}

std::u16string ExtractBetween(std::u16string_view text, std::u16string_view start, std::u16string_view end,
                              std::size_t& position) {
    const std::size_t from = position > 0 ? position - 1 : 0;
    const std::size_t startAt = findNoCase(text, start, from);
    if (startAt == std::u16string_view::npos) return {};
    const std::size_t valueAt = startAt + start.size();
    const std::size_t endAt = findNoCase(text, end, valueAt);
    if (endAt == std::u16string_view::npos) return {};

    position = endAt + 1 + 4; // 1-based position of the end marker, plus 4 whatever its length
    std::u16string_view value = text.substr(valueAt, endAt - valueAt);
    if (value.starts_with(u"\r\n")) value.remove_prefix(2);
    return std::u16string(value);
}

std::u16string GetTagValue(std::u16string_view text, std::u16string_view name, std::size_t& position) {
    std::u16string start = u"<";
    start.append(name).append(u">");
    std::u16string end = u"</";
    end.append(name).append(u">");
    return ExtractBetween(text, start, end, position);
}

} // namespace velfetch
