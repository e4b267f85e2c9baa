// Which catalogue entries count for a track, and the searches sent for it.
#include "ITunesSearch.h"
#include "LuceneQuery.h"
#include "MusicBrainz.h"
#include "TrackWords.h"

#include <gtest/gtest.h>

using velfetch::opencatalog::TrackWords;

namespace {

struct AcceptCase {
    const char* name;
    std::string artist, title;             // the fetcher's words
    std::string entryArtist, entryTitle;   // a catalogue's
    bool accepted;
};
void PrintTo(const AcceptCase& c, std::ostream* os) { *os << c.name; }

class Acceptance : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(Acceptance, NormalisedWordsDecide) {
    const auto& c = GetParam();
    EXPECT_EQ(TrackWords(c.artist, c.title).Accepts(c.entryArtist, c.entryTitle), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Acceptance,
    ::testing::Values(
        AcceptCase{"FullWidthAgainstHalfWidth", "ＡＢＣ ｂａｎｄ", "ｶﾀｶﾅ", "ABC Band", "カタカナ", true},
        AcceptCase{"LetterCase", "the beatles", "HELP", "The Beatles", "Help", true},
        AcceptCase{"PunctuationAndSpaces", "Queen", "Don't Stop Me Now", "Queen", "Dont Stop Me Now!", true},
        AcceptCase{"WaveDashAgainstFullWidthTilde", "歌手", "恋〜Love〜", "歌手", "恋～Love～", true},
        AcceptCase{"TagBlanksIgnored", "  Foo  ", "Bar   ", "Foo", "Bar", true},
        AcceptCase{"WrongArtistRefused", "Foo", "Bar", "Foo Tribute Band", "Bar", false},
        AcceptCase{"LiveVersionRefused", "Foo", "Bar", "Foo", "Bar (Live)", false},
        AcceptCase{"KaraokeVersionRefused", "Foo", "Bar", "Foo", "Bar (karaoke version)", false},
        AcceptCase{"LiveVersionWhenTheTagSaysSo", "Foo", "Bar (Live)", "Foo", "Bar [live]", true},
        AcceptCase{"EmptyEntryRefused", "Foo", "Bar", "", "", false},
        AcceptCase{"NameHoldsBoth", "Foo Artist - Bar Title", "", "Foo Artist", "Bar Title", true},
        AcceptCase{"NameLacksTheArtist", "Foo Artist - Bar Title", "", "Other", "Bar Title", false},
        AcceptCase{"TitleOnlyTagIsAName", "", "Foo - Bar", "Foo", "Bar", true}),
    [](const auto& info) { return std::string(info.param.name); });

struct QueryCase {
    const char* name;
    std::string artist, title;
    std::string query;
};
void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name; }

class Query : public ::testing::TestWithParam<QueryCase> {};

TEST_P(Query, EscapedForLucene) {
    const auto& c = GetParam();
    EXPECT_EQ(RecordingQuery(TrackWords(c.artist, c.title)), c.query);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Query,
    ::testing::Values(
        QueryCase{"Quotes", "The \"Band\"", "Say \"Hi\"", R"q(recording:"Say \"Hi\"" AND artist:"The \"Band\"")q"},
        QueryCase{"Japanese", "東京事変", "群青日和", R"q(recording:"群青日和" AND artist:"東京事変")q"},
        QueryCase{"OperatorWordAndColon", "AC/DC", "Rock AND Roll: Live",
                  R"q(recording:"Rock AND Roll\: Live" AND artist:"AC\/DC")q"},
        QueryCase{"BackslashAndWildcards", "A\\B", "Why? (*)", R"q(recording:"Why\? \(\*\)" AND artist:"A\\B")q"},
        QueryCase{"NameIsLowerCasedPlainWords", "Foo AND Bar: Baz (Live) NOT", "", R"q(foo and bar\: baz \(live\) not)q"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SearchUrls, PercentEncodedUtf8) {
    const TrackWords words("東京 事変", "A&B");
    EXPECT_EQ(velfetch::opencatalog::MusicBrainz::SearchUrl(words),
              "https://musicbrainz.org/ws/2/recording?query=recording%3A%22A%5C%26B%22%20AND%20artist%3A%22"
              "%E6%9D%B1%E4%BA%AC%20%E4%BA%8B%E5%A4%89%22&fmt=json&limit=10");
    EXPECT_EQ(velfetch::opencatalog::ITunesSearchUrl(words),
              "https://itunes.apple.com/search?term=%E6%9D%B1%E4%BA%AC+%E4%BA%8B%E5%A4%89+A%26B"
              "&country=JP&media=music&entity=song&limit=10");
}

} // namespace
