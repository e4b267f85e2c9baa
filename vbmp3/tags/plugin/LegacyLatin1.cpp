#include "LegacyLatin1.h"

#include "AnsiCodec.h"

namespace vbmp3 {

bool LegacyLatin1::looksLikeCp932(const TagLib::ByteVector& data) {
    bool kana = false;
    for (unsigned i = 0; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEA);
        if (!lead || i + 1 >= data.size()) return false;
        const auto t = static_cast<unsigned char>(data[++i]);
        if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
        kana = kana || c <= 0x9F;
    }
    return kana;
}

TagLib::String LegacyLatin1::parse(const TagLib::ByteVector& data) const {
    if (looksLikeCp932(data)) {
        const std::u16string text = vel::fromAnsi(std::string_view(data.data(), data.size()));
        // An unassigned code in the right ranges: Latin-1 after all.
        if (text.find(u'\uFFFD') == std::u16string::npos)
            return TagLib::String(vel::utf16ToUtf8(text), TagLib::String::UTF8);
    }
    return TagLib::String(data, TagLib::String::Latin1);
}

} // namespace vbmp3
