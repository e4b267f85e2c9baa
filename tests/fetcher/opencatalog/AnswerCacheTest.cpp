// The open catalogues' answers kept between runs, on played-back replies and
// a wall clock of the test's: what is kept, for how long, and what is never.
#include "AnswerCache.h"
#include "HandoffFile.h"
#include "OpenCatalogueSearch.h"
#include "TempFolder.h"
#include "opencatalog/PlayedBack.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace std::chrono_literals;
using nlohmann::json;
using velfetch::opencatalog::AnswerCache;
using velfetch::opencatalog::CachedAnswer;
using velfetch::opencatalog::OpenCatalogueSearch;
using veltest::busy;
using veltest::ok;
using veltest::WebReply;

namespace {

namespace fs = std::filesystem;

const std::string kSearch = "https://musicbrainz.org/ws/2/recording?";
const std::string kLookup = "https://musicbrainz.org/ws/2/release/" + veltest::id(1);
const std::string kFront = "https://coverartarchive.org/release/" + veltest::id(1) + "/front-250";
const std::string kITunes = "https://itunes.apple.com/search?";

const WebReply kFound = ok(veltest::search({veltest::recording("Foo", "Bar", {veltest::release(1)})}));
const WebReply kNone = ok(veltest::search(json::array()));
const WebReply kNoSongs = ok(json{{"resultCount", 0}, {"results", json::array()}}.dump());
const WebReply kAsin = ok(json{{"asin", "B000TEST01"}, {"cover-art-archive", {{"front", true}}}}.dump());

enum class Damage { None, Truncate, AlterPicture };

struct Visit {
    std::chrono::hours later; // on the wall clock, after the run before
    Damage damage;            // done to the kept entry before this run
    bool asks;                // the run sends requests
    bool hit;
};

struct CacheCase {
    const char* name;
    std::vector<std::pair<std::string, std::vector<WebReply>>> replies;
    std::vector<Visit> runs;
};
void PrintTo(const CacheCase& c, std::ostream* os) { *os << c.name; }

class Kept : public ::testing::TestWithParam<CacheCase> {};

void damage(const std::string& folder, Damage how) {
    if (how == Damage::None) return;
    for (const auto& e : fs::directory_iterator(folder)) {
        const auto size = fs::file_size(e.path());
        if (how == Damage::Truncate) {
            fs::resize_file(e.path(), size / 2);
        } else {
            std::fstream f(e.path(), std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(std::streamoff(size / 2));
            f.put('\x5a');
        }
    }
}

TEST_P(Kept, RunsAskOnlyWhenNothingIsKept) {
    const CacheCase& c = GetParam();
    veltest::TempFolder home;
    std::chrono::system_clock::time_point wall{std::chrono::hours(480000)};
    AnswerCache cache(home.file("answers"), velfetch::ReplaceFileContent, [&] { return wall; });
    veltest::FakeClock clock;
    veltest::FakeWeb web(clock);
    for (const auto& [prefix, replies] : c.replies) web.on(prefix, replies);
    OpenCatalogueSearch step(web, clock, {}, {&cache});

    std::optional<velfetch::opencatalog::CoverHit> first;
    for (std::size_t i = 0; i < c.runs.size(); ++i) {
        const Visit& run = c.runs[i];
        wall += run.later;
        damage(home.file("answers"), run.damage);
        const std::size_t before = web.requests.size();
        const auto hit = step.Find("Foo", "Bar");
        EXPECT_EQ(web.requests.size() > before, run.asks) << "run " << i;
        ASSERT_EQ(hit.has_value(), run.hit) << "run " << i;
        if (!hit) continue;
        if (!first) first = hit;
        EXPECT_EQ(hit->jpeg, first->jpeg) << "run " << i;
        EXPECT_EQ(hit->asin, first->asin) << "run " << i;
        EXPECT_EQ(hit->source, first->source) << "run " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Kept,
    ::testing::Values(
        CacheCase{"HitKeptUntilEvicted",
                  {{kSearch, {kFound}}, {kFront, {ok(veltest::jpeg(160, 160))}}, {kLookup, {kAsin}}},
                  {{0h, Damage::None, true, true}, {0h, Damage::None, false, true}, {2000h, Damage::None, false, true}}},
        CacheCase{"ITunesHitKept",
                  {{kSearch, {kNone}},
                   {kITunes, {ok(json{{"results", {{{"artistName", "Foo"}, {"trackName", "Bar"},
                                                    {"artworkUrl100", "https://art.example/100x100bb.jpg"}}}}}.dump())}},
                   {"https://art.example/", {ok(veltest::jpeg(160, 160))}}},
                  {{0h, Damage::None, true, true}, {1h, Damage::None, false, true}}},
        CacheCase{"MissKeptForADay",
                  {{kSearch, {kNone}}, {kITunes, {kNoSongs}}},
                  {{0h, Damage::None, true, false}, {23h, Damage::None, false, false}, {1h, Damage::None, true, false}}},
        CacheCase{"ThrottlesNeverKept",
                  {{kSearch, {busy(503)}}, {kITunes, {busy(403)}}},
                  {{0h, Damage::None, true, false}, {0h, Damage::None, true, false}}},
        CacheCase{"LongRetryAfterNeverKept",
                  {{kSearch, {busy(503, 3600s)}}, {kITunes, {busy(429, 3600s)}}},
                  {{0h, Damage::None, true, false}, {0h, Damage::None, true, false}}},
        CacheCase{"NoAnswerNeverKept",
                  {{kSearch, {WebReply{}}}, {kITunes, {kNoSongs}}},
                  {{0h, Damage::None, true, false}, {0h, Damage::None, true, false}}},
        CacheCase{"HitWhoseAsinIsUnknownNotKept",
                  {{kSearch, {kFound}}, {kFront, {ok(veltest::jpeg(160, 160))}}, {kLookup, {busy(503)}}},
                  {{0h, Damage::None, true, true}, {0h, Damage::None, true, true}}},
        CacheCase{"TruncatedEntryReplaced",
                  {{kSearch, {kFound}}, {kFront, {ok(veltest::jpeg(160, 160))}}, {kLookup, {kAsin}}},
                  {{0h, Damage::None, true, true}, {0h, Damage::Truncate, true, true}, {0h, Damage::None, false, true}}},
        CacheCase{"AlteredEntryReplaced",
                  {{kSearch, {kFound}}, {kFront, {ok(veltest::jpeg(160, 160))}}, {kLookup, {kAsin}}},
                  {{0h, Damage::None, true, true}, {0h, Damage::AlterPicture, true, true},
                   {0h, Damage::None, false, true}}}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<std::uint8_t> picture(std::size_t bytes) { return std::vector<std::uint8_t>(bytes, 0xab); }

// Past the cap the least recently used entries go, a use counting as recent.
TEST(AnswerCacheLimits, LeastRecentlyUsedGoPastTheCap) {
    veltest::TempFolder home;
    std::chrono::system_clock::time_point wall{std::chrono::hours(480000)};
    AnswerCache cache(home.file("answers"), velfetch::ReplaceFileContent, [&] { return wall; }, 35000);
    for (const char* q : {"a", "b", "c"}) {
        cache.Store(q, {picture(10000), "B000000000", "musicbrainz"});
        wall += 1h;
    }
    EXPECT_TRUE(cache.Find("a")); // "b" is now the least recently used
    wall += 1h;
    cache.Store("d", {picture(10000), "", "itunes"});
    EXPECT_TRUE(cache.Find("a"));
    EXPECT_FALSE(cache.Find("b"));
    EXPECT_TRUE(cache.Find("c"));
    EXPECT_TRUE(cache.Find("d"));
}

TEST(AnswerCacheLimits, UnusableFolderMeansNoCache) {
    veltest::TempFolder home;
    home.write("file", "not a folder");
    for (const std::string& folder : {home.file("file") + "/answers", std::string()}) {
        AnswerCache cache(folder, velfetch::ReplaceFileContent);
        cache.Store("a", {picture(100), "", "itunes"});
        EXPECT_FALSE(cache.Find("a")) << folder;
    }
}

} // namespace
