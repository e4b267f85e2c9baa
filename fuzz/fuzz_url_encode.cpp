// Encodes arbitrary UTF-16 text as search words are encoded, and checks that
// decoding the result gives the text back.
#include "TextCodecs.h"

#include <cstdlib>
#include <vector>

namespace {

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1; // lower-case digits must never appear
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text += char16_t(data[i] | (data[i + 1] << 8));
    const std::u16string encoded = velfetch::UrlEncodeUtf8(text);
    if (encoded.size() > text.size() * 9) std::abort();

    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char16_t c = encoded[i];
        if (c == u'%') {
            if (i + 2 >= encoded.size()) std::abort();
            const int hi = hexValue(encoded[i + 1]), lo = hexValue(encoded[i + 2]);
            if (hi < 0 || lo < 0) std::abort();
            bytes.push_back(std::uint8_t(hi * 16 + lo));
            i += 2;
        } else if (c == u'+') {
            bytes.push_back(' ');
        } else if ((c >= u'a' && c <= u'z') || (c >= u'@' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'*' ||
                   c == u'-' || c == u'.' || c == u'_') {
            bytes.push_back(std::uint8_t(c));
        } else {
            std::abort(); // nothing else may stand unencoded
        }
    }
    if (velfetch::Utf8ToString(bytes) != text) std::abort();
    return 0;
}
