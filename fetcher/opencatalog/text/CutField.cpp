#include "CutField.h"

#include "AnsiCodec.h"

#include <utf8proc.h>

#include <vector>

namespace velfetch::opencatalog {
namespace {

constexpr std::string_view kRemnant = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

struct CodePoint {
    utf8proc_int32_t c;
    std::size_t at; // its first byte
};

std::vector<CodePoint> codePoints(std::string_view text) {
    std::vector<CodePoint> out;
    for (std::size_t at = 0; at < text.size();) {
        utf8proc_int32_t c = 0;
        const auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
                                        utf8proc_ssize_t(text.size() - at), &c);
        if (n <= 0) break; // not UTF-8 from here on: what came before still counts
        out.push_back({c, at});
        at += std::size_t(n);
    }
    return out;
}

bool isWordChar(utf8proc_int32_t c) {
    switch (utf8proc_category(c)) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_MC:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_ND:
    case UTF8PROC_CATEGORY_NL:
    case UTF8PROC_CATEGORY_NO: return true;
    default: return false;
    }
}

// Kana and kanji: each one is a word to the services' search, so cutting
// after one leaves no word cut short.
bool isCjk(utf8proc_int32_t c) {
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF66 && c <= 0xFF9F) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

bool isAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Index just past the last word character before `end`.
std::size_t skipTrailingNonWords(const std::vector<CodePoint>& cps, std::size_t end) {
    while (end > 0 && !isWordChar(cps[end - 1].c)) --end;
    return end;
}

} // namespace

bool MayBeCut(std::string_view field) {
    const std::u16string text = vel::utf8ToUtf16(field);
    const std::string bytes = vel::toAnsi(text);
    if (bytes.ends_with("  ")) return false;
    // A writer that keeps double-byte characters whole (ours among them) leaves
    // one byte free when the next character would straddle the width.
    const bool doubleByteLast = !text.empty() && vel::toAnsi(text.substr(text.size() - 1)).size() == 2;
    for (const std::size_t width : {kLegacyFieldBytes, kRecordFieldBytes})
        if (bytes.size() == width || (bytes.size() == width - 1 && doubleByteLast)) return true;
    return false;
}

std::string WithoutCutRemnant(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.ends_with(kRemnant)) text.remove_suffix(kRemnant.size());
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

CutWords SplitCutWord(std::string_view text) {
    const std::string t = WithoutCutRemnant(text);
    const std::vector<CodePoint> cps = codePoints(t);
    const auto byteAt = [&](std::size_t i) { return i < cps.size() ? cps[i].at : t.size(); };

    std::size_t end = skipTrailingNonWords(cps, cps.size());
    std::size_t start = end;
    while (start > 0 && isWordChar(cps[start - 1].c) && !isCjk(cps[start - 1].c)) --start;

    CutWords words;
    if (start < end) {
        std::string last = t.substr(byteAt(start), byteAt(end) - byteAt(start));
        bool ascii = true;
        for (char& c : last) {
            if (!isAsciiAlnum(c)) ascii = false;
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        }
        if (ascii) words.partial = std::move(last);
        end = skipTrailingNonWords(cps, start);
    }
    words.whole = t.substr(0, byteAt(end));
    return words;
}

} // namespace velfetch::opencatalog
