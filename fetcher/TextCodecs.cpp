#include "TextCodecs.h"

namespace velfetch {
namespace {

void appendPercent(std::u16string& out, unsigned byte) {
    static constexpr char16_t hex[] = u"0123456789ABCDEF";
    out += u'%';
    out += hex[(byte >> 4) & 15];
    out += hex[byte & 15];
}

bool passesUnencoded(char16_t c) {
    return (c >= 64 && c <= 90) || (c >= 97 && c <= 122) || (c >= 48 && c <= 57) || c == u'*' || c == u'-' ||
           c == u'.' || c == u'_';
}

bool isContinuation(std::uint8_t b) { return b >= 128 && b <= 191; }

} // namespace

std::u16string UrlEncodeUtf8(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() * 9); // the most one code unit can need
    for (char16_t c : text) {
        unsigned v = c;
        if (c == u' ') {
            out += u'+';
        } else if (passesUnencoded(c)) {
            out += c;
        } else if (v < 128) {
            appendPercent(out, v);
        } else if (v < 2048) {
            appendPercent(out, 192 + (v >> 6));
            appendPercent(out, 128 + (v & 63));
        } else {
            appendPercent(out, 224 + (v >> 12));
            appendPercent(out, 128 + ((v >> 6) & 63));
            appendPercent(out, 128 + (v & 63));
        }
    }
    return out;
}

std::u16string Utf8ToString(std::span<const std::uint8_t> bytes, std::u16string_view replacement) {
    std::u16string out;
    out.reserve(bytes.size() * (replacement.empty() ? 1 : replacement.size()));
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t b0 = bytes[i];
        if (b0 < 128) {
            out += char16_t(b0);
            i += 1;
        } else if (b0 >= 194 && b0 <= 223 && i + 1 < n && isContinuation(bytes[i + 1])) {
            out += char16_t(((b0 & 31) << 6) | (bytes[i + 1] & 63));
            i += 2;
        } else if (b0 >= 224 && b0 <= 239 && i + 2 < n && isContinuation(bytes[i + 1]) &&
                   isContinuation(bytes[i + 2])) {
            out += char16_t(((b0 & 15) << 12) | ((bytes[i + 1] & 63) << 6) | (bytes[i + 2] & 63));
            i += 3;
        } else {
            out += replacement;
            i += 1;
        }
    }
    return out;
}

std::u16string fromAscii(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out += char16_t(static_cast<unsigned char>(c));
    return out;
}

} // namespace velfetch
