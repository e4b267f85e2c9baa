#include "AnsiCodec.h"
#include "Records.h"

#include <gtest/gtest.h>

#include <string>

using namespace vel;

namespace {

std::string bytesAt(const TagRecordBytes& b, std::size_t offset, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(b.data()) + offset, n);
}

} // namespace

TEST(Records, SizesAndOffsets) {
    EXPECT_EQ(sizeof(TrackInfoBytes), 272u);
    EXPECT_EQ(sizeof(TagRecordBytes), 656u);
    EXPECT_EQ(sizeof(ShortTagRecordBytes), 652u);

    TagRecord r;
    r.Title = u"T";
    r.Artist = u"A";
    r.Album = u"L";
    r.Year = u"1999";
    r.Comment = u"C";
    r.Genre = 0x01020304;
    r.TrackNo = -1;
    auto b = toBytes(r);
    EXPECT_EQ(b[0], 'T');
    EXPECT_EQ(b[128], 'A');
    EXPECT_EQ(b[256], 'L');
    EXPECT_EQ(bytesAt(b, 384, 5), "1999 ");
    EXPECT_EQ(b[389], 'C');
    EXPECT_EQ(bytesAt(b, 517, 3), std::string(3, '\0'));
    EXPECT_EQ(b[520], 4); // little-endian
    EXPECT_EQ(b[523], 1);
    EXPECT_EQ(bytesAt(b, 524, 128), std::string(128, '\0')); // GenreName untouched stays zero
    EXPECT_EQ(bytesAt(b, 652, 4), std::string(4, '\xff'));

    TrackInfoBytes t{};
    t[268] = 0x48; // 840
    t[269] = 0x03;
    TrackInfo info;
    fromBytes(t, info);
    EXPECT_EQ(info.Length, 840);
}

TEST(Records, ZeroedRecordReachesLibraryAsZeroBytes) {
    TagRecord r;
    auto b = toBytes(r);
    for (std::size_t i = 0; i < b.size(); ++i) ASSERT_EQ(b[i], 0) << "offset " << i;
}

TEST(Records, ThirtyDoubleByteCharactersFillSixtyBytesAndBlanks) {
    TagRecord r;
    r.Title = std::u16string(30, u'あ');
    auto b = toBytes(r);
    std::string ansi = toAnsi(u"あ");
    ASSERT_EQ(ansi.size(), 2u);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(bytesAt(b, 2 * i, 2), ansi);
    EXPECT_EQ(bytesAt(b, 60, 68), std::string(68, ' '));
}

TEST(Records, DoubleByteCharacterIsNotSplitAtFieldEnd) {
    TagRecord r;
    r.Year = u"1あああ"; // 1 + 6 bytes into 5: "1" + two characters, then a blank
    auto b = toBytes(r);
    EXPECT_EQ(bytesAt(b, 384, 5), "1" + toAnsi(u"ああ"));
    r.Year = u"12あああ"; // 2 + 6 into 5: the second character would straddle
    b = toBytes(r);
    EXPECT_EQ(bytesAt(b, 384, 5), "12" + toAnsi(u"あ") + " ");
}

struct ReadCase {
    const char* name;
    std::string bytes; // placed at the Title field, rest zero
    std::u16string expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class RecordRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RecordRead, CutAtNulOfTitle) {
    TagRecordBytes b{};
    const auto& c = GetParam();
    std::copy(c.bytes.begin(), c.bytes.end(), b.begin());
    TagRecord r;
    fromBytes(b, r);
    EXPECT_EQ(CutAtNul(r.Title.str()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RecordRead,
    ::testing::Values(
        ReadCase{"NoNulComesBackWhole", std::string(120, 'x') + "ab      ",
                 std::u16string(120, u'x') + u"ab      "},
        ReadCase{"StartsWithNulReadsEmpty", std::string("\0abc", 4), u""},
        ReadCase{"StopsAtFirstNul", std::string("Bar\0junk", 8), u"Bar"},
        ReadCase{"TrailingBlanksKept", "Bar  ", u"Bar  "},
        ReadCase{"Cp932Decoded", "\x83\x65\x83\x58\x83\x67", u"テスト"},
        ReadCase{"HalfWidthKatakana", "\xb1\xb2", u"ｱｲ"},
        ReadCase{"LoneLeadByteAtNul", std::string("A\x83\0", 3), u"A\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Records, RoundTripKeepsEveryField) {
    TagRecord r;
    r.Title = u"東京の空";
    r.Artist = u"Foo";
    r.Album = u"アルバム";
    r.Year = u"2001";
    r.Comment = u"x";
    r.Genre = 255;
    r.TrackNo = 7;
    TagRecord back;
    fromBytes(toBytes(r), back);
    // Double-byte text takes fewer characters than bytes: the rest reads as NUL.
    EXPECT_EQ(CutAtNul(back.Title.str()), u"東京の空" + std::u16string(120, u' '));
    EXPECT_EQ(back.Artist, r.Artist);
    EXPECT_EQ(CutAtNul(back.Album.str()), u"アルバム" + std::u16string(120, u' '));
    EXPECT_EQ(back.Year, r.Year);
    EXPECT_EQ(back.Genre, 255);
    EXPECT_EQ(back.TrackNo, 7);
}

TEST(Records, CharacterMissingFromCodePageBecomesQuestionMark) {
    TagRecord r;
    r.Title = u"a\u00e9b"; // é has no CP932 form
    auto b = toBytes(r);
    EXPECT_EQ(bytesAt(b, 0, 3), "a?b");
}

TEST(AnsiCodec, CutLengthKeepsDoubleByteCharactersWhole) {
    std::string s = "a" + toAnsi(u"あい");
    EXPECT_EQ(ansiCutLength(s, 10), 5u);
    EXPECT_EQ(ansiCutLength(s, 4), 3u);
    EXPECT_EQ(ansiCutLength(s, 3), 3u);
    EXPECT_EQ(ansiCutLength(s, 2), 1u);
}

TEST(AnsiCodec, Utf8RoundTrip) {
    std::u16string text = u"音楽 ASIN \U0001F3B5";
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
    EXPECT_EQ(utf8ToUtf16("a\xff" "b"), u"a\uFFFDb");
}
