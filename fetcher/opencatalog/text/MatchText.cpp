#include "MatchText.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>

namespace velfetch::opencatalog {
namespace {

bool ignored(utf8proc_int32_t c) {
    switch (utf8proc_category(c)) {
    case UTF8PROC_CATEGORY_ZS:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
    case UTF8PROC_CATEGORY_CC:
    case UTF8PROC_CATEGORY_CF:
    case UTF8PROC_CATEGORY_PC:
    case UTF8PROC_CATEGORY_PD:
    case UTF8PROC_CATEGORY_PS:
    case UTF8PROC_CATEGORY_PE:
    case UTF8PROC_CATEGORY_PI:
    case UTF8PROC_CATEGORY_PF:
    case UTF8PROC_CATEGORY_PO:
    // "~" (the full-width tilde after NFKC) against the wave dash, "+" or "^" in names.
    case UTF8PROC_CATEGORY_SM:
    case UTF8PROC_CATEGORY_SK: return true;
    default: return false;
    }
}

} // namespace

std::string NormalizeForMatch(std::string_view text) {
    utf8proc_uint8_t* mapped = nullptr;
    const auto options =
        utf8proc_option_t(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_COMPAT | UTF8PROC_CASEFOLD | UTF8PROC_IGNORE);
    const utf8proc_ssize_t length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                                 utf8proc_ssize_t(text.size()), &mapped, options);
    if (length < 0) return {};
    const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(mapped, &std::free);

    std::string out;
    out.reserve(std::size_t(length));
    for (utf8proc_ssize_t at = 0; at < length;) {
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t n = utf8proc_iterate(mapped + at, length - at, &c);
        if (n <= 0) return {};
        if (!ignored(c)) out.append(reinterpret_cast<const char*>(mapped + at), std::size_t(n));
        at += n;
    }
    return out;
}

} // namespace velfetch::opencatalog
