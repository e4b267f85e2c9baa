#include "AnsiCodec.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace vel {
namespace {

// One iconv descriptor per direction and call; cheap enough for record-sized text.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts one unit of input at `in` (len bytes); returns false if it cannot.
    bool convert(const char* in, std::size_t len, std::string& out) {
        char buf[16];
        char* src = const_cast<char*>(in);
        char* dst = buf;
        std::size_t srcLeft = len, dstLeft = sizeof buf;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0)
            return false;
        out.append(buf, dst);
        return true;
    }

private:
    iconv_t cd_;
};

bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void appendUtf16(std::u16string& out, const std::string& utf16le) {
    for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(utf16le[i]) |
                                            (static_cast<unsigned char>(utf16le[i + 1]) << 8)));
}

} // namespace

std::string toAnsi(std::u16string_view text) {
    Converter conv("CP932", "UTF-16LE");
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c < 0x80) { // ASCII passes as is, NUL included
            out.push_back(static_cast<char>(c));
            continue;
        }
        char unit[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        if (!conv.ok() || !conv.convert(unit, 2, out)) out.push_back('?');
    }
    return out;
}

std::u16string fromAnsi(std::string_view bytes) {
    Converter conv("UTF-16LE", "CP932");
    std::u16string out;
    out.reserve(bytes.size());
    std::string tmp;
    for (std::size_t i = 0; i < bytes.size();) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        std::size_t len = (isLeadByte(b) && i + 1 < bytes.size()) ? 2 : 1;
        tmp.clear();
        if (conv.ok() && conv.convert(bytes.data() + i, len, tmp)) {
            appendUtf16(out, tmp);
            i += len;
        } else if (len == 2 && conv.ok() && conv.convert(bytes.data() + i, 1, tmp)) {
            appendUtf16(out, tmp);
            i += 1;
        } else {
            out.push_back(u'\uFFFD');
            i += 1;
        }
    }
    return out;
}

std::size_t ansiCutLength(std::string_view bytes, std::size_t limit) {
    if (bytes.size() <= limit) return bytes.size();
    std::size_t i = 0;
    while (i < limit) {
        std::size_t step = isLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        if (i + step > limit) break;
        i += step;
    }
    return i;
}

std::u16string utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    auto cont = [&](std::size_t k) {
        return k < bytes.size() && (static_cast<unsigned char>(bytes[k]) & 0xC0) == 0x80;
    };
    while (i < bytes.size()) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        char32_t cp;
        std::size_t n;
        if (b < 0x80) { cp = b; n = 1; }
        else if (b >= 0xC2 && b < 0xE0 && cont(i + 1)) { cp = ((b & 0x1F) << 6) | (bytes[i + 1] & 0x3F); n = 2; }
        else if (b >= 0xE0 && b < 0xF0 && cont(i + 1) && cont(i + 2)) {
            cp = ((b & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F); n = 3;
        } else if (b >= 0xF0 && b < 0xF5 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
            cp = ((b & 0x07) << 18) | ((bytes[i + 1] & 0x3F) << 12) | ((bytes[i + 2] & 0x3F) << 6) |
                 (bytes[i + 3] & 0x3F);
            n = 4;
        } else { cp = 0xFFFD; n = 1; }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp > 0x10FFFF ? 0xFFFD : cp));
        }
        i += n;
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) out.push_back(static_cast<char>(cp));
        else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace vel
