#include "CatalogueItem.h"
#include "ExtractBetween.h"

#include <gtest/gtest.h>

using velfetch::CatalogueItem;
using velfetch::ExtractBetween;
using velfetch::GetTagValue;
using velfetch::LeadingNumber;
using velfetch::ReadCatalogueItem;
using velfetch::SplitRecords;

struct CutCase {
    std::u16string text, start, end;
    std::size_t position;
    std::u16string expected;
    std::size_t positionAfter;
};

void PrintTo(const CutCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(c.text) << " between " << ::testing::PrintToString(c.start) << " and " << ::testing::PrintToString(c.end) << " from " << c.position;
}

class Extract : public ::testing::TestWithParam<CutCase> {};

TEST_P(Extract, ValueAndPosition) {
    const auto& c = GetParam();
    std::size_t position = c.position;
    EXPECT_EQ(ExtractBetween(c.text, c.start, c.end, position), c.expected);
    EXPECT_EQ(position, c.positionAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Extract,
    ::testing::Values(
        // "<a>x</a>": the end marker stands at 5, the position becomes 5 + 4.
        CutCase{u"<a>x</a>", u"<a>", u"</a>", 1, u"x", 9},
        // Plus 4 whatever the end marker's length.
        CutCase{u"[v\"rest", u"[", u"\"", 1, u"v", 7},
        CutCase{u"<A>x</A>", u"<a>", u"</a>", 1, u"x", 9},
        CutCase{u"<a>X</a>", u"<A>", u"</A>", 1, u"X", 9},
        CutCase{u"<a>x</a><a>y</a>", u"<a>", u"</a>", 9, u"y", 17},
        // Start found before the position does not count; position 2 skips the first.
        CutCase{u"<a>x</a><a>y</a>", u"<a>", u"</a>", 2, u"y", 17},
        CutCase{u"<a>x</a>", u"<a>", u"</a>", 2, u"", 2},
        CutCase{u"<a>x", u"<a>", u"</a>", 1, u"", 1},
        CutCase{u"no markers", u"<a>", u"</a>", 1, u"", 1},
        CutCase{u"", u"<a>", u"</a>", 1, u"", 1},
        CutCase{u"<a>", u"<a>", u"</a>", 100, u"", 100},
        CutCase{u"<a></a>", u"<a>", u"</a>", 1, u"", 8},
        // One leading CR LF goes, a second stays; a lone LF or a later CR LF stays.
        CutCase{u"<a>\r\nx</a>", u"<a>", u"</a>", 1, u"x", 11},
        CutCase{u"<a>\r\n\r\nx</a>", u"<a>", u"</a>", 1, u"\r\nx", 13},
        CutCase{u"<a>\nx</a>", u"<a>", u"</a>", 1, u"\nx", 10},
        CutCase{u"<a>x\r\n</a>", u"<a>", u"</a>", 1, u"x\r\n", 11},
        // The end marker is looked for only after the start marker.
        CutCase{u"</a><a>z</a>", u"<a>", u"</a>", 1, u"z", 13},
        // Non-ASCII text around ASCII markers is not folded.
        CutCase{u"<Ａ>x</a><a>音</A>", u"<a>", u"</a>", 1, u"音", 17}));

TEST(TagValue, UsesElementMarkersWithoutCase) {
    std::size_t position = 1;
    EXPECT_EQ(GetTagValue(u"<x/><ASIN>B0123</ASIN>", u"Asin", position), u"B0123");
    EXPECT_EQ(position, 20u);
}

TEST(Records, SplitAtExactSeparatorOnly) {
    auto records = SplitRecords(u"head<Details a>one<details b>still one<Details>two<DETAILS>three");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], u" a>one<details b>still one");
    EXPECT_EQ(records[1], u">two<DETAILS>three");
    EXPECT_TRUE(SplitRecords(u"<details>nothing").empty());
    EXPECT_EQ(SplitRecords(u"<Details<Details").size(), 2u);
}

struct RecordCase {
    const char* name;
    std::u16string record;
    CatalogueItem expected;
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }

class ReadRecord : public ::testing::TestWithParam<RecordCase> {};

TEST_P(ReadRecord, Fields) { EXPECT_EQ(ReadCatalogueItem(GetParam().record), GetParam().expected); }

CatalogueItem item(std::u16string asin, std::u16string name, std::u16string date, std::u16string medium,
                   std::u16string large, std::u16string price, std::u16string availability, std::u16string tracks,
                   std::u16string comment) {
    return {asin, name, date, medium, large, price, availability, tracks, comment};
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadRecord,
    ::testing::Values(
        RecordCase{"AllFieldsInReadingOrder",
                   u" url=\"x\"><Asin>B000000001</Asin><ProductName>A~B~C</ProductName>"
                   u"<ReleaseDate>2004/05/26</ReleaseDate><ImageUrlMedium>http://i/m.jpg</ImageUrlMedium>"
                   u"<ImageUrlLarge>http://i/l.jpg</ImageUrlLarge><OurPrice>￥ 2,520</OurPrice>"
                   u"<Tracks><Track>1</Track></Tracks><Availability>now</Availability>"
                   u"<TotalCustomerReviews>2</TotalCustomerReviews><Comment>a &lt;b&gt; &amp;lt;</Comment>",
                   item(u"B000000001", u"A～B～C", u"2004/05/26", u"http://i/m.jpg", u"http://i/l.jpg", u" 2,520",
                        u"now", u"<Track>1</Track>", u"a <b&gt; &amp;lt;")},
        // Price: characters 2 to 11 only.
        RecordCase{"LongPriceCutToTen", u"<OurPrice>$1234567890123</OurPrice>",
                   item(u"", u"", u"", u"", u"", u"1234567890", u"", u"", u"")},
        RecordCase{"OneCharacterPrice", u"<OurPrice>$</OurPrice>", item(u"", u"", u"", u"", u"", u"", u"", u"", u"")},
        // No reviews: the comment is left empty even when present.
        RecordCase{"ZeroReviews",
                   u"<Asin>X</Asin><TotalCustomerReviews>0</TotalCustomerReviews><Comment>c</Comment>",
                   item(u"X", u"", u"", u"", u"", u"", u"", u"", u"")},
        RecordCase{"ReviewsNotANumber",
                   u"<TotalCustomerReviews>many</TotalCustomerReviews><Comment>c</Comment>",
                   item(u"", u"", u"", u"", u"", u"", u"", u"", u"")},
        RecordCase{"ReviewsWithBlanksAndText",
                   u"<Comment>first</Comment><TotalCustomerReviews>  3 reviews</TotalCustomerReviews>",
                   item(u"", u"", u"", u"", u"", u"", u"", u"", u"first")},
        // Reviews and Comment are read from the start, whatever their place.
        RecordCase{"ReviewsBeforeAsin",
                   u"<TotalCustomerReviews>1</TotalCustomerReviews><Comment>\r\nx&lt;y</Comment><Asin>A</Asin>",
                   item(u"A", u"", u"", u"", u"", u"", u"", u"", u"x<y")},
        // Reordered: the medium image stands before the identifier, so once the
        // identifier has been read it is no longer found.
        RecordCase{"ReorderedElements",
                   u"<ImageUrlMedium>m</ImageUrlMedium><Asin>A</Asin><ProductName>P</ProductName>"
                   u"<ReleaseDate>D</ReleaseDate><ImageUrlLarge>L</ImageUrlLarge>",
                   item(u"A", u"P", u"D", u"", u"L", u"", u"", u"", u"")},
        RecordCase{"AvailabilityBeforeTracks",
                   u"<Asin>A</Asin><Availability>now</Availability><Tracks>T</Tracks>",
                   item(u"A", u"", u"", u"", u"", u"", u"", u"T", u"")},
        // Lower-case element names are found.
        RecordCase{"LowerCaseNames",
                   u"<asin>B1</asin><productname>n~</productname><imageurlmedium>u</imageurlmedium>",
                   item(u"B1", u"n～", u"", u"u", u"", u"", u"", u"", u"")},
        // Other entities stay as they are.
        RecordCase{"EntitiesUntouched",
                   u"<ProductName>A &amp; B</ProductName><ImageUrlMedium>http://i?a=1&amp;b=2</ImageUrlMedium>",
                   item(u"", u"A &amp; B", u"", u"http://i?a=1&amp;b=2", u"", u"", u"", u"", u"")},
        // An unclosed element ends the search for it without moving on.
        RecordCase{"UnclosedElement", u"<Asin>A<ProductName>P</ProductName>",
                   item(u"", u"P", u"", u"", u"", u"", u"", u"", u"")}),
    [](const auto& info) { return std::string(info.param.name); });

struct NumberCase {
    std::u16string text;
    double expected;
};

void PrintTo(const NumberCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

class Number : public ::testing::TestWithParam<NumberCase> {};

TEST_P(Number, LeadingValue) { EXPECT_DOUBLE_EQ(LeadingNumber(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Table, Number,
                         ::testing::Values(NumberCase{u"", 0}, NumberCase{u"250", 250}, NumberCase{u"  7 x", 7},
                                           NumberCase{u"\r\n12", 12}, NumberCase{u"abc", 0}, NumberCase{u"-3", -3},
                                           NumberCase{u"2.9", 2.9}, NumberCase{u"1e3", 1000},
                                           NumberCase{u"1e", 1}, NumberCase{u".", 0},
                                           NumberCase{u"0x10", 0}, NumberCase{u"１２", 0}));
