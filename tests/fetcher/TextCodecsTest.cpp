#include "TextCodecs.h"

#include <gtest/gtest.h>

#include <vector>

using velfetch::Utf8ToString;
using velfetch::UrlEncodeUtf8;

struct EncodeCase {
    std::u16string text;
    std::u16string expected;
};

void PrintTo(const EncodeCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

class UrlEncode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(UrlEncode, Result) { EXPECT_EQ(UrlEncodeUtf8(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Table, UrlEncode,
    ::testing::Values(
        EncodeCase{u"", u""},
        EncodeCase{u"a b", u"a+b"},
        EncodeCase{u"&", u"%26"},
        EncodeCase{u"x@y.jp", u"x@y.jp"},
        EncodeCase{u"\t", u"%09"},
        EncodeCase{u"AZaz09*-._", u"AZaz09*-._"},
        // Brackets, tilde and the other ASCII punctuation are encoded; '@' (64) is not.
        EncodeCase{u"[~]?=/+", u"%5B%7E%5D%3F%3D%2F%2B"},
        EncodeCase{std::u16string(1, u'\0'), u"%00"},
        EncodeCase{u"\u007F", u"%7F"},
        EncodeCase{u"\u0080", u"%C2%80"},
        EncodeCase{u"é", u"%C3%A9"},
        EncodeCase{u"\u07FF", u"%DF%BF"},
        EncodeCase{u"\u0800", u"%E0%A0%80"},
        EncodeCase{u"音楽", u"%E9%9F%B3%E6%A5%BD"},
        EncodeCase{u"\uFF5E", u"%EF%BD%9E"},
        EncodeCase{u"\uFFFF", u"%EF%BF%BF"},
        // A character beyond the BMP: each surrogate is encoded on its own.
        EncodeCase{u"\U0001F600", u"%ED%A0%BD%ED%B8%80"},
        EncodeCase{u"Foo  Bar 音楽 ASIN site:www.amazon.co.jp",
                   u"Foo++Bar+%E9%9F%B3%E6%A5%BD+ASIN+site%3Awww.amazon.co.jp"}));

struct DecodeCase {
    std::vector<std::uint8_t> bytes;
    std::u16string replacement;
    std::u16string expected;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << "bytes";
    for (const std::uint8_t b : c.bytes) *os << ' ' << "0123456789ABCDEF"[b >> 4] << "0123456789ABCDEF"[b & 15];
}

class Utf8Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8Decode, Result) {
    EXPECT_EQ(Utf8ToString(GetParam().bytes, GetParam().replacement), GetParam().expected);
    // Compacted in place, the bytes read as the same text (invalid ones dropped), each
    // character in its shortest form: an over-long zero becomes one byte.
    if (!GetParam().replacement.empty()) return;
    std::vector<std::uint8_t> compact = GetParam().bytes;
    velfetch::CompactUtf8(compact);
    EXPECT_EQ(Utf8ToString(compact), GetParam().expected);
    EXPECT_EQ(compact.size(), velfetch::StringToUtf8(GetParam().expected).size());
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Decode,
    ::testing::Values(
        DecodeCase{{}, u"", u""},
        DecodeCase{{'A', 'b', '1'}, u"", u"Ab1"},
        DecodeCase{{0x00, 'A'}, u"", std::u16string(u"\0A", 2)},
        DecodeCase{{0xC3, 0xA9}, u"", u"é"},
        DecodeCase{{0xE3, 0x81, 0x82}, u"", u"\u3042"},
        // A broken sequence loses its lead; the bytes after it are judged on their own.
        DecodeCase{{0xE3, 0x81, 'A'}, u"", u"A"},
        DecodeCase{{0xE3, 0x81, 'A'}, u"?", u"??A"},
        DecodeCase{{'x', 0xC3}, u"", u"x"},
        DecodeCase{{'x', 0xE3, 0x81}, u"", u"x"},
        DecodeCase{{0x80, 'a', 0xBF}, u"*", u"*a*"},
        // 192, 193 and 245..255 never lead.
        DecodeCase{{0xC0, 0x80, 0xC1, 0xBF}, u"?", u"????"},
        DecodeCase{{0xF5, 0xFF, 0xFE}, u"?", u"???"},
        // Four-byte sequences are not decoded: lead and continuations each dropped.
        DecodeCase{{0xF0, 0x9F, 0x98, 0x80, 'z'}, u"", u"z"},
        DecodeCase{{0xF0, 0x9F, 0x98, 0x80}, u"#", u"####"},
        // No over-long or surrogate checks on three-byte forms.
        DecodeCase{{0xE0, 0x80, 0x80}, u"", std::u16string(1, u'\0')},
        DecodeCase{{0xED, 0xA0, 0x80}, u"", std::u16string(1, char16_t(0xD800))},
        DecodeCase{{0xEF, 0xBF, 0xBF}, u"", u"\uFFFF"},
        DecodeCase{{0xC2, 0x80}, u"", u"\u0080"},
        DecodeCase{{0xDF, 0xBF}, u"", u"\u07FF"},
        // A lead followed by a non-continuation: only the lead is lost.
        DecodeCase{{0xC3, 0xC3, 0xA9}, u"", u"é"},
        // A multi-character replacement is inserted whole for each invalid byte.
        DecodeCase{{0xFF, 'a', 0xFF}, u"<?>", u"<?>a<?>"}));
