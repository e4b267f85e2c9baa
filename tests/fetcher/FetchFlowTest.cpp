#include "FetcherForm.h"
#include "StandinFixture.h"
#include "StubLibrary.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using standin::Action;

namespace {

const std::string kStem = "http://xml.amazon.co.jp/onca/xml3?t=plovtarnime-22&dev-t=KQ7TRZWX3HPLM";

std::string catalogue(const std::string& search, int page) {
    return kStem + search + "&mode=music-jp&type=heavy&locale=jp&page=" + std::to_string(page) + "&f=xml";
}

std::string engine(const std::string& q) {
    return "http://www.google.co.jp/search?hl=ja&q=" + q +
           "+%E9%9F%B3%E6%A5%BD+ASIN+site%3Awww.amazon.co.jp&lr=lang_ja";
}

std::string image(const std::string& asin) {
    return "http://img.standin.invalid/images/" + asin + ".MZZZZZZZ.jpg";
}

// A tag record as the library fills it: texts in CP932, each ended by NUL.
vel::TagRecordBytes tagBytes(const std::string& artist, const std::string& title) {
    vel::TagRecordBytes b{};
    std::memcpy(b.data() + vel::offsets::Title, title.data(), title.size());
    std::memcpy(b.data() + vel::offsets::Artist, artist.data(), artist.size());
    return b;
}

standin::Config config(long long results, std::string engineLink = "B000STAND1") {
    standin::Config c;
    c.totalResults = results;
    c.engineLink = std::move(engineLink);
    return c;
}

} // namespace

class Flow : public veltest::WithStandin {
protected:
    // Runs the fetcher's load handler in the temporary application folder.
    void run(const std::string& tail, const std::vector<std::string>& unwritable = {}) {
        velfetch::frm_main form(vel::Folder::Plain(folder.path()), http);
        keepAway(form);
        // A disk that refuses these files, however small.
        form.ReplaceFile = [&](const vel::Folder& to, const std::string& name, std::span<const std::uint8_t> bytes) {
            for (const auto& refused : unwritable)
                if (name == refused) return false;
            return velfetch::ReplaceFileContent(to, name, bytes);
        };
        form.Form_Load(tail);
    }

    // The form's kept answers and request pace in the test's own folder, never the user's.
    void keepAway(velfetch::frm_main& form) {
        form.AnswersFolder = home.file("answers");
        form.PaceFolder = home.file("run");
    }

    veltest::StubLibrary stub;
    veltest::TempFolder folder;
    veltest::TempFolder home;
};

struct WordsCase {
    const char* name;
    std::string tail;
    std::optional<vel::TagRecordBytes> tag; // nothing: the tag cannot be read
    std::string tagPath;                    // the path the library is asked about
    std::string keywords;                   // KeywordSearch value sent
};

void PrintTo(const WordsCase& c, std::ostream* os) { *os << c.name; }

class FlowWords : public Flow, public ::testing::WithParamInterface<WordsCase> {};

TEST_P(FlowWords, SearchWordsFromTagOrFileName) {
    const auto& c = GetParam();
    if (c.tag) stub.setTagBytes(*c.tag);
    else stub.failTagRead();
    run(c.tail);
    auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0], catalogue("&KeywordSearch=" + c.keywords, 1));
    EXPECT_EQ(stub.calls(), (std::vector<std::string>{"init", "getFileTagInfoEX " + c.tagPath, "free"}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FlowWords,
    ::testing::Values(
        WordsCase{"ArtistAndTitle", "\"/m/x.mp3\"", tagBytes("Foo", "Bar"), "/m/x.mp3", "Foo+Bar"},
        WordsCase{"TitleOnly", "\"/m/x.mp3\"", tagBytes("", "Bar"), "/m/x.mp3", "+Bar"},
        WordsCase{"ArtistOnly", "\"/m/x.mp3\"", tagBytes("Foo", ""), "/m/x.mp3", "Foo+"},
        WordsCase{"BlanksKept", "\"/m/x.mp3\"", tagBytes(" Foo ", "Bar  "), "/m/x.mp3", "+Foo++Bar++"},
        WordsCase{"JapaneseTag", "\"/m/x.mp3\"", tagBytes("\x93\x8c\x8b\x9e", "\x89\xb9"), "/m/x.mp3",
                  "%E6%9D%B1%E4%BA%AC+%E9%9F%B3"},
        WordsCase{"EmptyTagUsesCleanedName", "\"/m/Artist - Song [MP3].mp3\"", tagBytes("", ""),
                  "/m/Artist - Song [MP3].mp3", "Artist+-+Song++"},
        WordsCase{"UnreadableTagUsesCleanedName", "\"/m/Best CD音源.mp3\"", std::nullopt, "/m/Best CD音源.mp3",
                  "Best++"},
        // Spaces inside the quotes are stripped for the tag read only.
        WordsCase{"SpacesAroundPath", "\" /m/a b.mp3 \"", std::nullopt, "/m/a b.mp3", "a+b+"},
        WordsCase{"OnlyLeadingQuote", "\"/m/My Song.mp3", std::nullopt, "/m/My Song.mp3", "My+Song+"},
        WordsCase{"NoQuotes", "/m/plain.mp3", std::nullopt, "/m/plain.mp3", "plain+"}),
    [](const auto& info) { return std::string(info.param.name); });

struct StateCase {
    const char* name;
    standin::Config config;
    std::vector<standin::Rule> rules;
    std::optional<std::string> oldImage, oldAsin;
    std::optional<std::string> image, asin; // expected; nothing: no such file
    std::vector<std::string> requests;
    std::vector<std::string> unwritable = {}; // hand-off files the disk refuses
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << c.name; }

class FlowState : public Flow, public ::testing::WithParamInterface<StateCase> {};

TEST_P(FlowState, HandOffFiles) {
    const auto& c = GetParam();
    server.setConfig(c.config);
    for (const auto& r : c.rules) server.addRule(r);
    if (c.oldImage) folder.write("temp.jpg", *c.oldImage);
    if (c.oldAsin) folder.write("asin", *c.oldAsin);
    stub.failTagRead();
    http.deadline = std::chrono::minutes(10); // only the silence limit can end a silent reply
    run("\"/m/Song.mp3\"", c.unwritable);
    EXPECT_EQ(folder.read("temp.jpg"), c.image);
    EXPECT_EQ(folder.read("asin"), c.asin);
    EXPECT_EQ(server.requests(), c.requests);
    EXPECT_EQ(folder.countOthers({"temp.jpg", "asin"}), 0u); // no temporary file left
}

standin::Rule rule(std::string match, Action action, std::string body = {}) {
    standin::Rule r;
    r.match = std::move(match);
    r.action = action;
    r.body = std::move(body);
    return r;
}

const std::string kOld(5000, 'o');
const std::string kKeyword = "&KeywordSearch=Song+";

INSTANTIATE_TEST_SUITE_P(
    Table, FlowState,
    ::testing::Values(
        StateCase{"CatalogueHitReplacesLongerFiles", config(3), {}, kOld, kOld, standin::defaultImage(),
                  "B000000001",
                  {catalogue(kKeyword, 1), catalogue(kKeyword, 1), image("B000000001")}},
        StateCase{"EngineHitWritesTheIdentifierFromThePage", config(0, "B000TEST01/ref=nosim"), {}, kOld,
                  std::nullopt, standin::defaultImage(), "B000TEST01/ref=nosim",
                  {catalogue(kKeyword, 1), engine("Song+"), catalogue("&AsinSearch=B000TEST01%2Fref%3Dnosim", 1),
                   catalogue("&AsinSearch=B000TEST01%2Fref%3Dnosim", 1), image("B000TEST01/ref=nosim")}},
        StateCase{"NoHitWithOldCoverDeletesItAndEmptiesAsin", config(0, ""), {}, kOld, kOld, std::nullopt, "",
                  {catalogue(kKeyword, 1), engine("Song+")}},
        StateCase{"NoHitWithoutOldCoverLeavesAsin", config(0, ""), {}, std::nullopt, "OLDASIN", std::nullopt,
                  "OLDASIN", {catalogue(kKeyword, 1), engine("Song+")}},
        StateCase{"IdentifierSearchFailingIsNoHit", config(0, "B000TEST01"),
                  {rule("AsinSearch", Action::Short)}, kOld, std::nullopt, std::nullopt, "",
                  {catalogue(kKeyword, 1), engine("Song+"), catalogue("&AsinSearch=B000TEST01", 1)}},
        StateCase{"HitWithEmptyImageLeavesEmptyCover", config(1), {rule("/images/", Action::Body, "")}, kOld, kOld,
                  "", "B000000001", {catalogue(kKeyword, 1), catalogue(kKeyword, 1), image("B000000001")}},
        StateCase{"HitWithoutPagesSavesEmptyFiles", config(0),
                  {rule("onca", Action::Body,
                        "<TotalResults>4</TotalResults><TotalPages>0</TotalPages>" + std::string(800, ' '))},
                  kOld, kOld, "", "", {catalogue(kKeyword, 1)}},
        StateCase{"SilentServerStillEnds", config(3), {rule("", Action::Silence)}, kOld, std::nullopt, std::nullopt,
                  "", {catalogue(kKeyword, 1), engine("Song+")}},
        StateCase{"ErrorPagesEverywhereIsNoHit", config(3), {rule("", Action::NotFound)}, kOld, std::nullopt,
                  std::nullopt, "", {catalogue(kKeyword, 1), engine("Song+")}},
        // A full disk: a cover that cannot be written is no hit, and its
        // identifier never goes with the old picture.
        StateCase{"UnwritableCoverIsNoHit", config(3), {}, kOld, kOld, std::nullopt, "",
                  {catalogue(kKeyword, 1), catalogue(kKeyword, 1), image("B000000001"), engine("Song+"),
                   catalogue("&AsinSearch=B000STAND1", 1), catalogue("&AsinSearch=B000STAND1", 1),
                   image("B000STAND1")},
                  {"temp.jpg"}},
        StateCase{"UnwritableAsinGoesWithTheOldPicture", config(3), {}, kOld, kOld, standin::defaultImage(),
                  std::nullopt, {catalogue(kKeyword, 1), catalogue(kKeyword, 1), image("B000000001")}, {"asin"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Flow, EmptyCommandLineTouchesNothing) {
    folder.write("temp.jpg", "old image");
    folder.write("asin", "OLD");
    run("");
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(folder.read("temp.jpg"), "old image");
    EXPECT_EQ(folder.read("asin"), "OLD");
    EXPECT_EQ(stub.calls(), (std::vector<std::string>{"init", "free"}));
}

TEST_F(Flow, UnwritableHandOffFilesEndQuietly) {
    // Folders in the place of both files: neither can be replaced, and nothing is left behind.
    std::filesystem::create_directory(folder.file("temp.jpg"));
    std::filesystem::create_directory(folder.file("asin"));
    stub.failTagRead();
    run("\"/m/Song.mp3\"");
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("temp.jpg")));
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("asin")));
    EXPECT_EQ(folder.countOthers({"temp.jpg", "asin"}), 0u);
    // Neither step's cover could be saved: both built-in steps were asked.
    EXPECT_EQ(server.requests().size(), 7u);
}

TEST_F(Flow, MissingFolderEndsQuietly) {
    stub.failTagRead();
    velfetch::frm_main form(vel::Folder::Plain(folder.file("gone")), http);
    keepAway(form);
    form.Form_Load("\"/m/Song.mp3\"");
    EXPECT_FALSE(std::filesystem::exists(folder.file("gone")));
    EXPECT_EQ(server.requests().size(), 7u);
}

TEST_F(Flow, RemovesTemporariesLeftByAKilledFetcher) {
    const std::vector<std::string> left = {"temp.jpg.Ab12Cd", "asin.ZZ9zz9"};
    const std::vector<std::string> kept = {"temp.jpg.Ab12", "temp.jpg.Ab12Cd.x", "song.mp3.Ab12Cd", "asin.Ab-2Cd"};
    for (const auto& name : left) folder.write(name, "half");
    for (const auto& name : kept) folder.write(name, "mine");
    stub.failTagRead();
    run("\"/m/Song.mp3\"");
    for (const auto& name : left) EXPECT_EQ(folder.read(name), std::nullopt) << name;
    for (const auto& name : kept) EXPECT_EQ(folder.read(name), "mine") << name;
}

TEST_F(Flow, LookupEndsAtItsTimeLimitAsNoHit) {
    // Every catalogue reply crawls, 64 bytes a second: each read is within the
    // silence limit and no other limit is in reach, but the whole reply would
    // take minutes. Only the lookup's own limit can end it early.
    server.addRule(rule("onca", Action::Drip, 1000));
    http.silenceTimeout = std::chrono::minutes(10);
    http.deadline = std::chrono::minutes(10);
    folder.write("temp.jpg", "old image");
    folder.write("asin", "OLD");
    stub.failTagRead();
    velfetch::frm_main form(vel::Folder::Plain(folder.path()), http);
    keepAway(form);
    form.LookupTimeLimit = std::chrono::milliseconds(1500);
    const auto start = std::chrono::steady_clock::now();
    form.Form_Load("\"/m/Song.mp3\"");
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(server.requests().size(), 1u); // the probe; nothing starts after the limit
    const auto wholeReply =
        std::chrono::seconds(standin::catalogueReply(standin::Config{}, server.requests()[0]).size() / 64);
    EXPECT_LT(took, wholeReply) << "ended only when the reply was in";
    EXPECT_EQ(folder.read("temp.jpg"), std::nullopt);
    EXPECT_EQ(folder.read("asin"), "");
}
