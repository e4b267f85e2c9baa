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

// The character of the sequence at `i` and the number of its bytes; 0 bytes
// when no complete one- to three-byte sequence starts there.
std::size_t decodeAt(std::span<const std::uint8_t> bytes, std::size_t i, char16_t& c) {
    const std::size_t n = bytes.size();
    const std::uint8_t b0 = bytes[i];
    if (b0 < 128) {
        c = char16_t(b0);
        return 1;
    }
    if (b0 >= 194 && b0 <= 223 && i + 1 < n && isContinuation(bytes[i + 1])) {
        c = char16_t(((b0 & 31) << 6) | (bytes[i + 1] & 63));
        return 2;
    }
    if (b0 >= 224 && b0 <= 239 && i + 2 < n && isContinuation(bytes[i + 1]) && isContinuation(bytes[i + 2])) {
        c = char16_t(((b0 & 15) << 12) | ((bytes[i + 1] & 63) << 6) | (bytes[i + 2] & 63));
        return 3;
    }
    return 0;
}

// Writes the one- to three-byte form of `c` (a lone surrogate too); returns its length.
std::size_t encodeShortest(char16_t c, std::uint8_t* out) {
    if (c < 0x80) {
        out[0] = std::uint8_t(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = std::uint8_t(0xC0 | (c >> 6));
        out[1] = std::uint8_t(0x80 | (c & 63));
        return 2;
    }
    out[0] = std::uint8_t(0xE0 | (c >> 12));
    out[1] = std::uint8_t(0x80 | ((c >> 6) & 63));
    out[2] = std::uint8_t(0x80 | (c & 63));
    return 3;
}

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
    for (std::size_t i = 0; i < bytes.size();) {
        char16_t c = 0;
        if (const std::size_t used = decodeAt(bytes, i, c)) {
            out += c;
            i += used;
        } else {
            out += replacement;
            i += 1;
        }
    }
    return out;
}

void CompactUtf8(std::vector<std::uint8_t>& bytes) {
    std::size_t to = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        char16_t c = 0;
        const std::size_t used = decodeAt(bytes, i, c);
        i += used ? used : 1;
        if (!used) continue;
        // The shortest form never takes more bytes than the sequence read, so
        // writing never overtakes reading.
        to += encodeShortest(c, bytes.data() + to);
    }
    bytes.resize(to);
}

std::string StringToUtf8(std::u16string_view text) {
    std::string out(text.size() * 3, '\0');
    std::size_t to = 0;
    for (char16_t c : text) to += encodeShortest(c, reinterpret_cast<std::uint8_t*>(out.data()) + to);
    out.resize(to);
    return out;
}

std::u16string fromAscii(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out += char16_t(static_cast<unsigned char>(c));
    return out;
}

} // namespace velfetch
