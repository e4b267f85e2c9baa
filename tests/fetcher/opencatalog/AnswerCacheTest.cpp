// The open catalogues' answers kept between runs, on played-back replies and
// a wall clock of the test's: what is kept, for how long, and what is never.
#include "AnswerCache.h"
#include "OpenCatalogueSearch.h"
#include "TrackWords.h"
#include "TempFolder.h"
#include "opencatalog/PlayedBack.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>

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

// Done to the kept entry: cut short, a byte altered, or written anew (its
// checksum right) with an ASIN that is no ASIN, or a picture that is no JPEG.
enum class Damage { None, Truncate, AlterPicture, BadAsin, NotAJpeg };

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

bool isEntry(const fs::path& p) { return p.filename().string().size() == 16; }

void damage(AnswerCache& cache, Damage how) {
    const std::string question = OpenCatalogueSearch::Question({"Foo", "Bar"});
    const auto picture = veltest::bytes(veltest::jpeg(160, 160));
    if (how == Damage::BadAsin) cache.Store(question, {picture, "X/../../evil?q=1", "musicbrainz"});
    if (how == Damage::NotAJpeg) cache.Store(question, {{0xff, 0xd8, 0xff, 0xd9}, "B000TEST01", "musicbrainz"});
    if (how != Damage::Truncate && how != Damage::AlterPicture) return;
    for (const auto& e : fs::directory_iterator(cache.folder())) {
        if (!isEntry(e.path())) continue;
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
    AnswerCache cache(home.file("answers"), [&] { return wall; });
    veltest::FakeClock clock;
    veltest::FakeWeb web(clock);
    for (const auto& [prefix, replies] : c.replies) web.on(prefix, replies);
    OpenCatalogueSearch step(web, clock, {}, {&cache});

    std::optional<velfetch::opencatalog::CoverHit> first;
    for (std::size_t i = 0; i < c.runs.size(); ++i) {
        const Visit& run = c.runs[i];
        wall += run.later;
        damage(cache, run.damage);
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
                   {0h, Damage::None, false, true}}},
        CacheCase{"EntryWithABadAsinNotServed",
                  {{kSearch, {kFound}}, {kFront, {ok(veltest::jpeg(160, 160))}}, {kLookup, {kAsin}}},
                  {{0h, Damage::BadAsin, true, true}, {0h, Damage::None, false, true}}},
        CacheCase{"EntryWhosePictureIsNoJpegNotServed",
                  {{kSearch, {kFound}}, {kFront, {ok(veltest::jpeg(160, 160))}}, {kLookup, {kAsin}}},
                  {{0h, Damage::NotAJpeg, true, true}, {0h, Damage::None, false, true}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Trimming, step by step on the test's wall clock: "Hq" keeps a hit for q,
// "Mq" a miss, "Fq" finds q (a use), "+N" lets N hours pass. Caps count the
// blocks the entries take on disk, in units of the file system's smallest
// allocation: every entry here, hit or miss, takes one.
struct TrimCase {
    const char* name;
    double diskCap;         // in blocks
    std::uint64_t entryCap; // entries
    const char* steps;
    const char* kept; // the questions still answered, in order
    std::size_t files; // the entries left in the folder
};
void PrintTo(const TrimCase& c, std::ostream* os) { *os << c.name; }

class Trimmed : public ::testing::TestWithParam<TrimCase> {};

std::uint64_t diskUse(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::uint64_t(st.st_blocks) * 512 : 0;
}

TEST_P(Trimmed, LeastRecentlyUsedAndExpiredMissesGo) {
    const TrimCase& c = GetParam();
    veltest::TempFolder home;
    home.write("block", "x");
    const std::uint64_t block = diskUse(home.file("block"));
    ASSERT_GT(block, 0u);
    const auto picture = veltest::bytes(veltest::jpeg(16, 16));
    ASSERT_LT(picture.size() + 200, block) << "a hit must fit one block";

    std::chrono::system_clock::time_point wall{std::chrono::hours(480000)};
    AnswerCache cache(home.file("answers"), [&] { return wall; },
                      {std::uint64_t(c.diskCap * double(block)), c.entryCap});
    std::string asked;
    std::istringstream steps(c.steps);
    for (std::string step; steps >> step;) {
        const std::string q = step.substr(1);
        if (step[0] == '+') wall += std::chrono::hours(std::stoi(q));
        if (step[0] == 'H') cache.Store(q, {picture, "B000000000", "musicbrainz"});
        if (step[0] == 'M') cache.Store(q, {});
        if (step[0] == 'F') {
            EXPECT_TRUE(cache.Find(q)) << q;
        }
        if (step[0] == 'H' || step[0] == 'M') asked += q;
    }
    std::string kept;
    for (const char q : asked)
        if (cache.Find(std::string(1, q))) kept += q;
    EXPECT_EQ(kept, c.kept);
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(home.file("answers"))) files += isEntry(e.path());
    EXPECT_EQ(files, c.files);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Trimmed,
    ::testing::Values(
        // Four entries of a few hundred bytes each take four blocks: past a cap of 3.5.
        TrimCase{"HitsPastTheDiskCap", 3.5, 100, "Ha +1 Hb +1 Hc +1 Fa +1 Hd", "acd", 3},
        TrimCase{"MissesPastTheDiskCap", 3.5, 100, "Ma +1 Mb +1 Mc +1 Md", "bcd", 3},
        TrimCase{"PastTheEntryCap", 1000, 3, "Ha +1 Hb +1 Hc +1 Fa +1 Hd", "acd", 3},
        // The expired miss goes, not the older hit.
        TrimCase{"ExpiredMissGoesFirst", 1000, 3, "Ha +1 Mm +25 Hb Hc", "abc", 3},
        TrimCase{"UnderTheCapsAllStay", 1000, 100, "Ha Mm +25 Hb Hc", "abc", 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnswerCacheLimits, UnusableFolderMeansNoCache) {
    veltest::TempFolder home;
    home.write("file", "not a folder");
    for (const std::string& folder : {home.file("file") + "/answers", std::string()}) {
        AnswerCache cache(folder);
        cache.Store("a", {veltest::bytes(veltest::jpeg(16, 16)), "", "itunes"});
        EXPECT_FALSE(cache.Find("a")) << folder;
    }
}

} // namespace
