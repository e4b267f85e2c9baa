#include "Amazon.h"
#include "StandinFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using standin::Action;
using velfetch::Amazon;

namespace {

const std::string kStem = "http://xml.amazon.co.jp/onca/xml3?t=plovtarnime-22&dev-t=KQ7TRZWX3HPLM";

std::string page(const std::string& search, int n) {
    return kStem + search + "&mode=music-jp&type=heavy&locale=jp&page=" + std::to_string(n) + "&f=xml";
}

standin::Config config(long long results, long long pages) {
    standin::Config c;
    c.totalResults = results;
    c.totalPages = pages;
    return c;
}

std::string toUtf8(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += char(c); // the URLs are ASCII
    return out;
}

} // namespace

struct UrlCase {
    std::u16string words;
    int type;
    long long page;
    std::string expected;
};

void PrintTo(const UrlCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(c.words) << ", type " << c.type << ", page " << c.page;
}

class CatalogueUrl : public ::testing::TestWithParam<UrlCase> {};

TEST_P(CatalogueUrl, KeysInOrder) {
    const auto& c = GetParam();
    EXPECT_EQ(toUtf8(Amazon::CatalogueUrl(c.words, velfetch::kMusicMode, c.type, c.page)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CatalogueUrl,
    ::testing::Values(
        UrlCase{u"Foo Bar", 10, 1, page("&KeywordSearch=Foo+Bar", 1)},
        UrlCase{u" 東京", 10, 10, page("&KeywordSearch=+%E6%9D%B1%E4%BA%AC", 10)},
        UrlCase{u"a&b=c", 20, 2, page("&BrowseNodeSearch=a%26b%3Dc", 2)},
        UrlCase{u"x@y", 40, 3, page("&BlendedSearch=x@y", 3)},
        UrlCase{u"B000TEST01/ref=x", 80, 1, page("&AsinSearch=B000TEST01%2Fref%3Dx", 1)}));

TEST(EngineUrl, QueryKeysInOrder) {
    EXPECT_EQ(toUtf8(Amazon::EngineUrl(u"A  音楽 ASIN site:www.amazon.co.jp")),
              "http://www.google.co.jp/search?hl=ja&q=A++%E9%9F%B3%E6%A5%BD+ASIN+site%3Awww.amazon.co.jp&lr=lang_ja");
}

class Catalogue : public veltest::WithStandin {
protected:
    std::string keyword(int n) const { return page("&KeywordSearch=Foo+Bar", n); }
    Amazon amazon() { return Amazon(http); }
};

TEST_F(Catalogue, ProbeThenEveryPageWithPageOneTwice) {
    server.setConfig(config(25, 3));
    Amazon a = amazon();
    ASSERT_EQ(a.CatalogueSearch(u"Foo Bar", velfetch::kMusicMode, velfetch::kKeywordSearch), velfetch::kSearchOk);
    EXPECT_EQ(server.requests(), (std::vector<std::string>{keyword(1), keyword(1), keyword(2), keyword(3)}));
    EXPECT_EQ(a.ResultCount, 25);
    ASSERT_EQ(a.SearchResults.size(), 25u);
    EXPECT_EQ(a.SearchResults[0].Asin, u"B000000001");
    EXPECT_EQ(a.SearchResults[0].ImageUrlMedium, u"http://img.standin.invalid/images/B000000001.MZZZZZZZ.jpg");
    EXPECT_EQ(a.SearchResults[0].OurPrice, u" 2,520");
    EXPECT_EQ(a.SearchResults[24].Asin, u"B000000025"); // slots run on across pages
}

TEST_F(Catalogue, ManyResultsKeepOneHundredEntriesFromTenPages) {
    server.setConfig(config(250, 25));
    Amazon a = amazon();
    ASSERT_EQ(a.CatalogueSearch(u"Foo Bar", velfetch::kMusicMode, velfetch::kKeywordSearch), velfetch::kSearchOk);
    std::vector<std::string> expected{keyword(1)};
    for (int n = 1; n <= 10; ++n) expected.push_back(keyword(n));
    EXPECT_EQ(server.requests(), expected);
    EXPECT_EQ(a.ResultCount, 250);
    ASSERT_EQ(a.SearchResults.size(), 100u);
    EXPECT_EQ(a.SearchResults[99].Asin, u"B000000100");
}

TEST_F(Catalogue, MoreRecordsThanSlotsAreDropped) {
    // The probe announces 3 results; the page then carries 10 records.
    server.setConfig(config(3, 1));
    const std::string tenRecords = standin::catalogueReply(config(10, 1), keyword(1));
    server.addRule(rule("page=1", Action::Pass, -1, 1));
    server.addRule(rule("page=1", Action::Body, -1, -1, tenRecords));
    Amazon a = amazon();
    ASSERT_EQ(a.CatalogueSearch(u"Foo Bar", velfetch::kMusicMode, velfetch::kKeywordSearch), velfetch::kSearchOk);
    ASSERT_EQ(a.SearchResults.size(), 3u);
    EXPECT_EQ(a.SearchResults[2].Asin, u"B000000003");
}

struct RetryCase {
    const char* name;
    int shortReplies;
    int expectedCode;
    int expectedRequests; // probe + attempts of page 1
};

void PrintTo(const RetryCase& c, std::ostream* os) { *os << c.name; }

class CatalogueRetry : public Catalogue, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(CatalogueRetry, ShortPageRepliesAreRetriedSixTimesAtMost) {
    server.setConfig(config(5, 1));
    // The probe passes; then page 1 answers short N times.
    server.addRule(rule("page=1", Action::Pass, -1, 1));
    server.addRule(rule("page=1", Action::Short, -1, GetParam().shortReplies));
    Amazon a = amazon();
    EXPECT_EQ(a.CatalogueSearch(u"Foo Bar", velfetch::kMusicMode, velfetch::kKeywordSearch), GetParam().expectedCode);
    EXPECT_EQ(server.requests(), std::vector<std::string>(GetParam().expectedRequests, keyword(1)));
    if (GetParam().expectedCode == velfetch::kSearchOk) {
        EXPECT_EQ(a.SearchResults[4].Asin, u"B000000005");
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CatalogueRetry,
                         ::testing::Values(RetryCase{"FiveShortThenFull", 5, velfetch::kSearchOk, 7},
                                           RetryCase{"SixShort", 6, velfetch::kUnreachable, 7},
                                           RetryCase{"OneShort", 1, velfetch::kSearchOk, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Catalogue, FailureCountStartsAfreshOnEachPage) {
    server.setConfig(config(20, 2));
    server.addRule(rule("page=1", Action::Pass, -1, 1));
    server.addRule(rule("page=1", Action::Short, -1, 5));
    server.addRule(rule("page=2", Action::Short, -1, 5));
    Amazon a = amazon();
    EXPECT_EQ(a.CatalogueSearch(u"Foo Bar", velfetch::kMusicMode, velfetch::kKeywordSearch), velfetch::kSearchOk);
    EXPECT_EQ(server.requests().size(), 13u);
}

struct ProbeCase {
    const char* name;
    standin::Action action;
    long long arg;
    std::string body;
    int expectedCode;
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

class CatalogueProbe : public Catalogue, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(CatalogueProbe, FirstReplyDecides) {
    server.addRule(rule("", GetParam().action, GetParam().arg, -1, GetParam().body));
    Amazon a = amazon();
    a.SearchResults.resize(7); // an earlier table stays when the first reply fails
    EXPECT_EQ(a.CatalogueSearch(u"Foo Bar", velfetch::kMusicMode, velfetch::kKeywordSearch), GetParam().expectedCode);
    EXPECT_EQ(server.requests(), std::vector<std::string>{keyword(1)});
    EXPECT_EQ(a.SearchResults.size(), 7u);
}

std::string sized(std::string text, std::size_t size) {
    text.resize(size, ' ');
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CatalogueProbe,
    ::testing::Values(
        ProbeCase{"ShortReply", Action::Short, -1, "", velfetch::kUnreachable},
        ProbeCase{"Exactly800Bytes", Action::Body, -1,
                  sized("<TotalResults>5</TotalResults><TotalPages>1</TotalPages>", 800), velfetch::kUnreachable},
        ProbeCase{"NoResults", Action::Body, -1,
                  sized("<TotalResults>0</TotalResults><TotalPages>0</TotalPages>", 801), velfetch::kNoResults},
        ProbeCase{"NegativeResults", Action::Body, -1, sized("<TotalResults>-4</TotalResults>", 900),
                  velfetch::kNoResults},
        ProbeCase{"ErrorPageWithoutNumbers", Action::NotFound, 2000, "", velfetch::kNoResults},
        ProbeCase{"SilentService", Action::Silence, -1, "", velfetch::kUnreachable}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Catalogue, ResultsWithoutPagesGiveEmptyEntries) {
    server.addRule(rule("", Action::Body, -1, -1,
                        sized("<TotalResults>2</TotalResults><TotalPages>0</TotalPages>", 801)));
    Amazon a = amazon();
    EXPECT_EQ(a.CatalogueSearch(u"Foo Bar", velfetch::kMusicMode, velfetch::kKeywordSearch), velfetch::kSearchOk);
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(a.SearchResults, std::vector<velfetch::CatalogueItem>(2));
}

TEST_F(Catalogue, DecodesTheReplyAndDropsInvalidBytes) {
    std::string reply = "<TotalResults>1</TotalResults><TotalPages>1</TotalPages><Details>"
                        "<Asin>B0\xFF" "01</Asin><ProductName>\xE6\x9D\xB1~\xE4\xBA</ProductName></Details>";
    server.addRule(rule("", Action::Body, -1, -1, sized(reply, 1801)));
    Amazon a = amazon();
    ASSERT_EQ(a.CatalogueSearch(u"Foo Bar", velfetch::kMusicMode, velfetch::kKeywordSearch), velfetch::kSearchOk);
    EXPECT_EQ(a.SearchResults[0].Asin, u"B001");
    EXPECT_EQ(a.SearchResults[0].ProductName, u"東～");
}

TEST_F(Catalogue, IdentifierSearchReadsOnePageIntoOneEntry) {
    server.setConfig(config(0, 0));
    Amazon a = amazon();
    ASSERT_EQ(a.CatalogueSearch(u"B000TEST01", velfetch::kMusicMode, velfetch::kAsinSearch), velfetch::kSearchOk);
    const std::string url = page("&AsinSearch=B000TEST01", 1);
    EXPECT_EQ(server.requests(), (std::vector<std::string>{url, url}));
    EXPECT_EQ(a.ResultCount, 1);
    ASSERT_EQ(a.SearchResults.size(), 1u);
    EXPECT_EQ(a.SearchResults[0].Asin, u"B000TEST01");
}

struct EngineCase {
    const char* name;
    std::string page;
    std::u16string expected;
    std::size_t size = 801; // the reply padded with blanks to this size
};

void PrintTo(const EngineCase& c, std::ostream* os) { *os << c.name; }

class Engine : public Catalogue, public ::testing::WithParamInterface<EngineCase> {};

TEST_P(Engine, IdentifierFromFirstProductLink) {
    server.addRule(rule("/search", Action::Body, -1, -1, sized(GetParam().page, GetParam().size)));
    Amazon a = amazon();
    EXPECT_EQ(a.FindAsinByEngine(u"q"), GetParam().expected);
    EXPECT_EQ(server.requests(),
              std::vector<std::string>{"http://www.google.co.jp/search?hl=ja&q=q&lr=lang_ja"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, Engine,
    ::testing::Values(
        EngineCase{"PlainLink", "<a href=\"http://www.amazon.co.jp/exec/obidos/ASIN/B000TEST01\">x</a>",
                   u"B000TEST01"},
        EngineCase{"LinkWithFurtherPath",
                   "<a href=\"http://www.amazon.co.jp/exec/obidos/ASIN/B000TEST01/ref=nosim\">",
                   u"B000TEST01/ref=nosim"},
        EngineCase{"FirstOfTwoLinks",
                   "<a href=\"HTTP://WWW.AMAZON.CO.JP/exec/obidos/asin/B1\"> "
                   "<a href=\"http://www.amazon.co.jp/exec/obidos/ASIN/B2\">",
                   u"B1"},
        EngineCase{"ReplyOf800BytesFindsNothing", "<a href=\"http://www.amazon.co.jp/exec/obidos/ASIN/B1\">", u"",
                   800},
        EngineCase{"NoLink", "<a href=\"http://www.amazon.co.jp/dp/B000TEST01\">", u""},
        EngineCase{"NoClosingQuote", "<a href='http://www.amazon.co.jp/exec/obidos/ASIN/B000TEST01'>", u""},
        // A legacy-encoded page: the ASCII link still comes through the UTF-8 decoding.
        EngineCase{"LegacyEncodedPage",
                   "\x93\x8c\x8b\x9e <a href=\"http://www.amazon.co.jp/exec/obidos/ASIN/B000SJIS01\">",
                   u"B000SJIS01"}),
    [](const auto& info) { return std::string(info.param.name); });
