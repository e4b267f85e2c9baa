#include "TextUtil.h"

#include <gtest/gtest.h>

using namespace vel;

struct QuoteCase {
    std::string in, out;
};

void PrintTo(const QuoteCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.in); }

class TrimQuotesCase : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(TrimQuotesCase, RemovesOneQuoteAtEachEnd) {
    std::string s = GetParam().in;
    TrimQuotes(s);
    EXPECT_EQ(s, GetParam().out);
    std::u16string u(GetParam().in.begin(), GetParam().in.end());
    TrimQuotes(u);
    EXPECT_EQ(u, std::u16string(GetParam().out.begin(), GetParam().out.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimQuotesCase,
    ::testing::Values(QuoteCase{"\"/a b/c.mp3\"", "/a b/c.mp3"},
                      QuoteCase{"\"/a/x.mp3\" \"/b/y.mp3\"", "/a/x.mp3\" \"/b/y.mp3"},
                      QuoteCase{"\"", ""},
                      QuoteCase{"\"\"", ""},
                      QuoteCase{"\"\"\"", "\""},
                      QuoteCase{"\"/only/leading.mp3", "/only/leading.mp3"},
                      QuoteCase{"/only/trailing.mp3\"", "/only/trailing.mp3"},
                      QuoteCase{"/no/quotes.mp3", "/no/quotes.mp3"},
                      QuoteCase{"", ""}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(TextUtil, EndsWithMp3IgnoresCase) {
    const std::pair<const char*, bool> cases[] = {{"x.mp3", true}, {"x.Mp3", true}, {"/a/B.MP3", true},
                                                  {".mp3", true},  {"x.txt", false}, {"x.mp3 ", false},
                                                  {"mp3", false},  {"", false}};
    for (const auto& [name, yes] : cases) EXPECT_EQ(EndsWithMp3(name), yes) << name;
}

TEST(TextUtil, RoundHalfEven) {
    const std::pair<double, int> cases[] = {{6.5, 6}, {7.5, 8}, {12.5, 12}, {-110.5, -110}, {9.5, 10}, {0.49, 0}};
    for (const auto& [x, rounded] : cases) EXPECT_EQ(RoundHalfEven(x), rounded) << x;
}

TEST(TextUtil, TrimSpaces) {
    EXPECT_EQ(TrimSpaces(std::string("  a b  ")), "a b");
    EXPECT_EQ(TrimSpaces(std::string("   ")), "");
    EXPECT_EQ(TrimSpaces(std::u16string(u" x ")), u"x");
    EXPECT_EQ(TrimSpaces(std::string("\ta\t")), "\ta\t"); // only blanks
}
