// Tag fields cut at their width: which catalogue names they accept, what is
// asked for them, which release is chosen, and the release group's cover when
// a release has none. Replies follow the services' real shapes: absent
// "joinphrase" and "secondary-types", null "video", releases without a date or
// status, pseudo-releases with a Latin title.
#include "AnsiCodec.h"
#include "CoverFit.h"
#include "CutField.h"
#include "ITunesSearch.h"
#include "LuceneQuery.h"
#include "MusicBrainzReplies.h"
#include "OpenCatalogueSearch.h"
#include "Records.h"
#include "opencatalog/PlayedBack.h"

#include <gtest/gtest.h>

using nlohmann::json;
using velfetch::opencatalog::ChosenRelease;
using velfetch::opencatalog::TrackWords;
using veltest::bytes;
using veltest::ok;

namespace {

// A text as the fetcher reads it from a tag field `width` bytes wide that
// held it in CP932: cut at the width, even inside a double-byte character,
// then decoded with the NULs after it as the record's conversion does.
std::string tagField(const std::string& utf8, std::size_t width = 30) {
    std::string cp932 = vel::toAnsi(vel::utf8ToUtf16(utf8)).substr(0, width);
    cp932.resize(128, '\0');
    return vel::utf16ToUtf8(vel::CutAtNul(vel::fromAnsi(cp932)));
}

const std::string kEva = "残酷な天使のテーゼ <Director’s Edit. Version>";        // 46 bytes
const std::string kChoir = "Yoko & 東京フィルハーモニー交響楽団 & 新東京混声合唱団"; // 54 bytes, byte 30 a lead byte
const std::string kHead = "Someone’s Gonna Get Their Head Kicked In Tonight";     // 49 bytes

// ---- Which names count ----------------------------------------------------

enum class Expect { Refused, Exact, Prefix };

struct MatchCase {
    const char* name;
    std::string artist, title;           // as the fetcher read them
    std::string entryArtist, entryTitle; // a catalogue's
    Expect expect;
};
void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.name; }

class CutMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(CutMatch, BeginningOfTheNameCounts) {
    const auto& c = GetParam();
    const auto match = TrackWords(c.artist, c.title).Match(c.entryArtist, c.entryTitle);
    switch (c.expect) {
    case Expect::Refused: EXPECT_FALSE(match); break;
    case Expect::Exact: EXPECT_EQ(match, 0u); break;
    case Expect::Prefix: EXPECT_GT(match.value_or(0), 0u); break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CutMatch,
    ::testing::Values(
        MatchCase{"JapaneseTitle", "高橋洋子", tagField(kEva), "高橋洋子", kEva, Expect::Prefix},
        MatchCase{"JapaneseTitleOtherPunctuation", "高橋洋子", tagField(kEva), "高橋洋子",
                  "残酷な天使のテーゼ (Director's Edit. Version)", Expect::Prefix},
        MatchCase{"ShorterNameRefused", "高橋洋子", tagField(kEva), "高橋洋子", "残酷な天使のテーゼ", Expect::Refused},
        MatchCase{"WrongArtistRefused", "高橋洋子", tagField(kEva), "河井英里", kEva, Expect::Refused},
        MatchCase{"ArtistCutInsideACharacter", tagField(kChoir), "魂のルフラン", kChoir, "魂のルフラン", Expect::Prefix},
        MatchCase{"CutArtistRefusesAShorterOne", tagField(kChoir), "魂のルフラン", "Yoko", "魂のルフラン",
                  Expect::Refused},
        MatchCase{"LatinTitle", "Foo", tagField(kHead), "foo", "Someone's Gonna Get Their Head Kicked In Tonight",
                  Expect::Prefix},
        MatchCase{"CutFieldEqualIsExact", "Foo", tagField(kHead), "Foo", "Someone’s Gonna Get Their Hea",
                  Expect::Exact},
        MatchCase{"CutBeforeADoubleByteCharacter", "Foo", tagField("A残酷な天使のテーゼと魂のルフラン", 29), "Foo",
                  "A残酷な天使のテーゼと魂のルフラン", Expect::Prefix},
        MatchCase{"UncutFieldNeedsEquality", "Foo", "Someone’s Gonna Get Their He", "Foo", kHead, Expect::Refused},
        MatchCase{"PaddingBlanksAreNoCut", "Foo", "Bar" + std::string(27, ' '), "Foo", "Bar Baz", Expect::Refused},
        MatchCase{"OneBlankAfterACutWord", "Foo", "Don't Stop Me Now, I'm Having ", "Foo",
                  "Don't Stop Me Now, I'm Having Such a Good Time", Expect::Prefix},
        MatchCase{"CutByTheLibraryAt127Bytes", "Foo", std::string(120, 'x') + " abcdef", "Foo",
                  std::string(120, 'x') + " abcdefgh", Expect::Prefix},
        MatchCase{"FileNameIsNoCut", tagField(kHead), "", "Someone", kHead, Expect::Refused}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CutField, OnlyFullFieldsMayBeCut) {
    using velfetch::opencatalog::MayBeCut;
    EXPECT_TRUE(MayBeCut(tagField(kEva)));
    EXPECT_TRUE(MayBeCut(tagField(kChoir))); // 29 bytes and the remnant of the 30th
    EXPECT_FALSE(MayBeCut(tagField(kHead, 29))); // one byte short, a letter last
    EXPECT_TRUE(MayBeCut(tagField(kChoir, 29))); // one byte short, a kanji last
    EXPECT_FALSE(MayBeCut(tagField(kEva, 128))); // 46 bytes: an ID3v2 title, whole
    EXPECT_TRUE(MayBeCut(tagField(std::string(200, 'x'), 127)));
}

// A field that may have been cut accepts longer names than the same text
// whole: their answers are kept under different questions. Padding is no cut.
TEST(CutField, AnswersKeptApart) {
    const auto question = [](const std::string& title) {
        return velfetch::opencatalog::OpenCatalogueSearch::Question(TrackWords("Foo", title));
    };
    EXPECT_NE(question("Don't Stop Me Now, I'm Having "), question("Don't Stop Me Now, I'm Having"));
    EXPECT_EQ(question("Bar" + std::string(27, ' ')), question("Bar"));
}

// ---- What is asked --------------------------------------------------------

struct QueryCase {
    const char* name;
    std::string artist, title;
    std::string lucene, itunesTerm; // the term as the URL carries it
};
void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name; }

class CutQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(CutQuery, LastWordNeverSpoilsTheSearch) {
    const auto& c = GetParam();
    const TrackWords words(c.artist, c.title);
    EXPECT_EQ(RecordingQuery(words), c.lucene);
    const std::string url = velfetch::opencatalog::ITunesSearchUrl(words);
    EXPECT_EQ(url.substr(0, url.find('&')), "https://itunes.apple.com/search?term=" + c.itunesTerm);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CutQuery,
    ::testing::Values(
        QueryCase{"JapaneseTitleCutInALatinWord", "高橋洋子", tagField(kEva),
                  R"q(recording:"残酷な天使のテーゼ" AND recording:director* AND artist:"高橋洋子")q",
                  "%E9%AB%98%E6%A9%8B%E6%B4%8B%E5%AD%90+%E6%AE%8B%E9%85%B7%E3%81%AA%E5%A4%A9%E4%BD%BF%E3%81%AE"
                  "%E3%83%86%E3%83%BC%E3%82%BC"},
        QueryCase{"LatinTitle", "Foo", tagField(kHead),
                  R"q(recording:"Someone’s Gonna Get Their" AND recording:hea* AND artist:"Foo")q",
                  "Foo+Someone%E2%80%99s+Gonna+Get+Their"},
        QueryCase{"ArtistCutInsideAKanji", tagField(kChoir), "Bar",
                  R"q(recording:"Bar" AND artist:"Yoko \& 東京フィルハーモニー交")q",
                  "Yoko+%26+%E6%9D%B1%E4%BA%AC%E3%83%95%E3%82%A3%E3%83%AB%E3%83%8F%E3%83%BC%E3%83%A2%E3%83%8B"
                  "%E3%83%BC%E4%BA%A4+Bar"},
        QueryCase{"KanaEndIsAskedWhole", "Foo", tagField("残酷な天使のテーゼと魂のルフラン"),
                  R"q(recording:"残酷な天使のテーゼと魂のルフラ" AND artist:"Foo")q",
                  "Foo+%E6%AE%8B%E9%85%B7%E3%81%AA%E5%A4%A9%E4%BD%BF%E3%81%AE%E3%83%86%E3%83%BC%E3%82%BC%E3%81%A8"
                  "%E9%AD%82%E3%81%AE%E3%83%AB%E3%83%95%E3%83%A9"},
        QueryCase{"OneLatinWordIsAPrefix", "Foo", tagField("Supercalifragilisticexpialidocious"),
                  R"q(recording:supercalifragilisticexpialidoc* AND artist:"Foo")q",
                  "Foo+Supercalifragilisticexpialidoc"},
        QueryCase{"NonAsciiLastWordIsLeftOut", "Foo", tagField("Lorem ipsum dolor sit Москва"),
                  R"q(recording:"Lorem ipsum dolor sit" AND artist:"Foo")q", "Foo+Lorem+ipsum+dolor+sit"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Which release is chosen ----------------------------------------------

std::string mbid(char kind, int n) {
    char s[40];
    std::snprintf(s, sizeof s, "%08x-0000-4000-8000-%012d", unsigned(kind), n);
    return s;
}

// A release as a recording search lists it. Empty status, type or date: the
// field is absent, as the service leaves it out.
json release(int n, const std::string& title, const std::string& status = "Official",
             const std::string& type = "Album", const std::string& date = "1995-10-25", int group = 0) {
    json r = {{"id", mbid('r', n)}, {"count", 1}, {"title", title}, {"artist-credit", json::array()}};
    if (!status.empty()) r["status"] = status;
    json g = {{"id", mbid('g', group ? group : n)}, {"title", title}};
    if (!type.empty()) g["primary-type"] = type;
    r["release-group"] = g;
    if (!date.empty()) {
        r["date"] = date;
        r["country"] = "JP";
        r["release-events"] = {{{"date", date}, {"area", {{"name", "Japan"}, {"iso-3166-1-codes", {"JP"}}}}}};
    }
    r["track-count"] = 12;
    return r;
}

json recording(int n, const std::string& title, json credit, json releases) {
    return {{"id", mbid('c', n)}, {"score", 100},     {"title", title},          {"length", 331026},
            {"video", nullptr},   {"artist-credit", credit}, {"releases", releases}};
}

json credit(const std::string& name) { return {{{"name", name}, {"artist", {{"name", name}, {"sort-name", name}}}}}; }

std::string search(json recordings) {
    return json{{"created", "2024-04-06T04:02:42.594Z"}, {"count", 22672}, {"offset", 0}, {"recordings", recordings}}
        .dump();
}

const json kChoirCredit = {{{"name", "Yoko"}, {"joinphrase", " & "}, {"artist", {{"name", "Yoko"}}}},
                           {{"name", "東京フィルハーモニー交響楽団"}, {"joinphrase", " & "}, {"artist", json::object()}},
                           {{"name", "新東京混声合唱団"}, {"joinphrase", ""}, {"artist", json::object()}}};

struct ChoiceCase {
    const char* name;
    std::string artist, title, album; // as the fetcher read them
    std::string reply;
    std::vector<int> chosen; // release numbers, best first
};
void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class CutChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(CutChoice, BestReleaseFirst) {
    const auto& c = GetParam();
    const auto chosen = ChooseReleases(bytes(c.reply), TrackWords(c.artist, c.title, c.album), 3);
    ASSERT_TRUE(chosen);
    std::vector<std::string> ids;
    for (const ChosenRelease& r : *chosen) ids.push_back(r.id);
    std::vector<std::string> expected;
    for (int n : c.chosen) expected.push_back(mbid('r', n));
    EXPECT_EQ(ids, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CutChoice,
    ::testing::Values(
        ChoiceCase{"JapaneseTitleCut", "高橋洋子", tagField(kEva), "",
                   search({recording(1, "残酷な天使のテーゼ", credit("高橋洋子"), {release(1, "残酷な天使のテーゼ", "Official", "Single")}),
                           recording(2, "残酷な天使のテーゼ", credit("河井英里"), {release(2, "animage")}),
                           recording(3, kEva, credit("高橋洋子"),
                                     {release(3, "Zankoku na Tenshi no These", "Pseudo-Release"),
                                      release(4, "NEON GENESIS EVANGELION DECADE", "Official", "Album", "2005"),
                                      release(5, "EVANGELION", "", "", "")})}),
                   {4, 3, 5}},
        ChoiceCase{"ArtistOf54BytesCut", tagField(kChoir), "魂のルフラン", "",
                   search({recording(1, "魂のルフラン", credit("Yoko"), {release(1, "Single")}),
                           recording(2, "魂のルフラン", kChoirCredit, {release(2, "Choir", "Official", "Single")})}),
                   {2}},
        ChoiceCase{"LatinTitleCutShortestCompletionFirst", "Foo", tagField(kHead), "",
                   search({recording(1, kHead + " (live at the BBC)", credit("Foo"), {release(1, "Live")}),
                           recording(2, "Someone's Gonna Get Their Head Kicked In Tonight", credit("FOO"),
                                     {release(2, "Singles", "Bootleg")}),
                           recording(3, kHead, credit("Foo"), {release(3, "Ghosts", "Official", "Single", "")})}),
                   {3, 2, 1}},
        ChoiceCase{"ExactBeforePrefix", "Foo", tagField(kHead), "",
                   search({recording(1, kHead, credit("Foo"), {release(1, "Album")}),
                           recording(2, "Someone’s Gonna Get Their Hea", credit("Foo"),
                                     {release(2, "Cut Hits", "Bootleg", "Other", "")})}),
                   {2, 1}},
        ChoiceCase{"WrongArtistRefused", "高橋洋子", tagField(kEva), "",
                   search({recording(1, kEva, credit("高橋洋子 tribute"), {release(1, "Tribute")}),
                           recording(2, kEva, credit("Yoko"), {release(2, "Other")})}),
                   {}},
        ChoiceCase{"AlbumFirstAmongEquals", "Foo", "Bar", "Second Album",
                   search({recording(1, "Bar", credit("Foo"),
                                     {release(1, "First Album", "Official", "Album", "1990"),
                                      release(2, "Second Album", "Official", "Album", "1999"),
                                      release(3, "Second Album", "Bootleg", "Album", "1980"),
                                      release(4, "Best", "Official", "Album", "1985")})}),
                   {2, 4, 1}},
        ChoiceCase{"CutAlbumBeginsTheTitle", "Foo", "Bar", tagField("NEON GENESIS EVANGELION DECADE edition"),
                   search({recording(1, "Bar", credit("Foo"),
                                     {release(1, "First Album", "Official", "Album", "1990"),
                                      release(2, "NEON GENESIS EVANGELION DECADE edition (limited)", "Official",
                                              "Album", "2005"),
                                      release(3, "Neon Genesis Evangelion Decade", "Official", "Album", "2006")})}),
                   {3, 2, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CutChoice, ReleaseGroupsComeAlong) {
    const std::string reply = search({recording(1, "Bar", credit("Foo"), {release(1, "A", "Official", "Album", "1990", 7)}),
                                      json{{"title", "Bar"}, {"artist-credit", credit("Foo")},
                                           {"releases", {{{"id", mbid('r', 2)}, {"release-group", {{"id", "../x"}}}}}}}});
    EXPECT_EQ(ChooseReleases(bytes(reply), TrackWords("Foo", "Bar"), 3),
              (std::vector<ChosenRelease>{{mbid('r', 1), mbid('g', 7)}, {mbid('r', 2), ""}}));
}

TEST(CutChoice, ITunesExactBeforePrefixThenAlbum) {
    const auto song = [](const std::string& track, const std::string& album, int n) {
        return json{{"wrapperType", "track"}, {"kind", "song"}, {"artistName", "Foo"}, {"collectionName", album},
                    {"trackName", track}, {"artworkUrl100", "https://a.example/" + std::to_string(n) + "/100x100bb.jpg"},
                    {"collectionPrice", nullptr}};
    };
    const std::string reply = json{{"resultCount", 4},
                                   {"results",
                                    {song(kHead + " (Live)", "Live", 1), song(kHead, "Hits", 2),
                                     song(kHead, "Ghosts", 3), song("Someone’s Gonna Get Their Hea", "Cut", 4)}}}
                                  .dump();
    const auto art = [](int n) { return "https://a.example/" + std::to_string(n) + "/160x160bb.jpg"; };
    EXPECT_EQ(ChooseArtwork(bytes(reply), TrackWords("Foo", tagField(kHead), "Ghosts"), 4),
              (std::vector<std::string>{art(4), art(3), art(2), art(1)}));
}

// ---- The release group's cover --------------------------------------------

const std::string kSearch = "https://musicbrainz.org/ws/2/recording?";
const std::string kITunes = "https://itunes.apple.com/search?";
std::string lookup(int n) { return "https://musicbrainz.org/ws/2/release/" + mbid('r', n) + "?fmt=json"; }
std::string front(int n) { return "https://coverartarchive.org/release/" + mbid('r', n) + "/front-250"; }
std::string groupFront(int n) { return "https://coverartarchive.org/release-group/" + mbid('g', n) + "/front-250"; }

veltest::WebReply releaseInfo(bool front, const std::string& asin) {
    return ok(json{{"id", "x"}, {"asin", asin}, {"cover-art-archive", {{"artwork", front}, {"front", front}}}}.dump());
}

struct GroupCase {
    const char* name;
    std::vector<std::pair<std::string, std::vector<veltest::WebReply>>> replies;
    std::vector<std::string> requests;
    std::string asin; // of the hit; empty: no hit
};
void PrintTo(const GroupCase& c, std::ostream* os) { *os << c.name; }

class GroupCover : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupCover, BeforeTheNextRelease) {
    const auto& c = GetParam();
    veltest::FakeClock clock;
    veltest::FakeWeb web(clock);
    // Releases 1 and 2 in group 1, release 3 in group 3; best first: 1, 2, 3.
    web.on(kSearch, {ok(search({recording(1, "Bar", credit("Foo"),
                                          {release(1, "A", "Official", "Album", "1990", 1),
                                           release(2, "A", "Official", "Album", "1991", 1),
                                           release(3, "B", "Official", "Single", "1990")})}))});
    web.on(kITunes, {ok(R"({"resultCount":0,"results":[]})")});
    for (const auto& [prefix, replies] : c.replies) web.on(prefix, replies);
    const auto hit = velfetch::opencatalog::OpenCatalogueSearch(web, clock).Find("Foo", "Bar");

    std::vector<std::string> urls;
    for (const auto& r : web.requests) {
        urls.push_back(r.url);
        for (const std::string& search : {kSearch, kITunes})
            if (r.url.starts_with(search)) urls.back() = search;
    }
    EXPECT_EQ(urls, c.requests);
    ASSERT_EQ(hit.has_value(), !c.asin.empty());
    if (!hit) return;
    EXPECT_EQ(hit->asin, c.asin);
    EXPECT_TRUE(velfetch::opencatalog::JpegSize(hit->jpeg));
}

const veltest::WebReply kPicture = ok(veltest::jpeg(250, 250));

INSTANTIATE_TEST_SUITE_P(
    Table, GroupCover,
    ::testing::Values(
        GroupCase{"NoFrontTheGroupsFront",
                  {{lookup(1), {releaseInfo(false, "B000TEST01")}}, {groupFront(1), {kPicture}}},
                  {kSearch, front(1), groupFront(1), lookup(1)}, "B000TEST01"},
        GroupCase{"FrontThatIsNoPictureTheGroupsFront",
                  {{lookup(1), {releaseInfo(true, "B000TEST01")}}, {front(1), {ok("<html>")}}, {groupFront(1), {kPicture}}},
                  {kSearch, front(1), groupFront(1), lookup(1)}, "B000TEST01"},
        GroupCase{"GroupWithoutFrontTheNextRelease",
                  {{lookup(2), {releaseInfo(true, "B000TEST02")}}, {front(2), {kPicture}}},
                  {kSearch, front(1), groupFront(1), front(2), lookup(2)}, "B000TEST02"},
        GroupCase{"EachGroupAskedOnce",
                  {{lookup(3), {releaseInfo(false, "B000TEST03")}}, {groupFront(3), {kPicture}}},
                  {kSearch, front(1), groupFront(1), front(2), front(3), groupFront(3), lookup(3)}, "B000TEST03"},
        GroupCase{"NoCoverAnywhere",
                  {},
                  {kSearch, front(1), groupFront(1), front(2), front(3), groupFront(3), kITunes}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GroupCover, TheTagsAlbumDecidesWhichReleaseIsAskedFirst) {
    veltest::FakeClock clock;
    veltest::FakeWeb web(clock);
    web.on(kSearch, {ok(search({recording(1, "Bar", credit("Foo"),
                                          {release(1, "A", "Official", "Album", "1990"),
                                           release(2, "B", "Official", "Album", "1999")})}))});
    web.on(lookup(2), {releaseInfo(true, "B000TEST02")});
    web.on(front(2), {kPicture});
    const auto hit = velfetch::opencatalog::OpenCatalogueSearch(web, clock).Find("Foo", "Bar", "b");
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->asin, "B000TEST02");
    EXPECT_EQ(web.requests.size(), 3u);
}

} // namespace
