// The third step on played-back replies: which requests it makes, in what
// order and at what pace, and what it saves. With one web client the release
// lookup waits for the cover, so the order of requests is fixed.
#include "CoverFit.h"
#include "OpenCatalogueSearch.h"
#include "opencatalog/PlayedBack.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using nlohmann::json;
using velfetch::opencatalog::JpegSize;
using velfetch::opencatalog::OpenCatalogueSearch;
using veltest::id;
using veltest::ok;
using veltest::recording;
using veltest::release;
using veltest::reply;
using veltest::WebReply;
using veltest::busy;

namespace {

const std::string kSearch = "https://musicbrainz.org/ws/2/recording?";
const std::string kITunes = "https://itunes.apple.com/search?";
std::string lookup(int n) { return "https://musicbrainz.org/ws/2/release/" + id(n) + "?fmt=json"; }
std::string front(int n) { return "https://coverartarchive.org/release/" + id(n) + "/front-250"; }
std::string art(int n) { return "https://art.example/" + std::to_string(n) + "/160x160bb.jpg"; }

WebReply releaseInfo(bool front, const std::string& asin = "") {
    return ok(json{{"asin", asin.empty() ? json(nullptr) : json(asin)}, {"cover-art-archive", {{"front", front}}}}.dump());
}
WebReply songs(std::initializer_list<int> arts) {
    json results = json::array();
    for (int n : arts)
        results.push_back({{"artistName", "Foo"}, {"trackName", "Bar"},
                           {"artworkUrl100", "https://art.example/" + std::to_string(n) + "/100x100bb.jpg"}});
    return ok(json{{"resultCount", results.size()}, {"results", results}}.dump());
}
const WebReply kFound = ok(veltest::search({recording("Foo", "Bar", {release(1, "Official", "Single"), release(2)})}));
const WebReply kNone = ok(veltest::search(json::array()));
const WebReply kBusy = reply(503, "<html>busy</html>");
const WebReply kPicture250 = ok(veltest::jpeg(250, 250));
const WebReply kPicture160 = ok(veltest::jpeg(160, 160));
const WebReply kNoPicture = ok("<html>not here</html>");

struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::vector<WebReply>>> replies;
    std::vector<std::string> requests; // URLs, or their prefixes for searches
    bool hit;
    std::string asin;
    int side = 0; // the saved picture's width and height
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Step : public ::testing::TestWithParam<Case> {};

TEST_P(Step, RequestsAndHit) {
    const Case& c = GetParam();
    veltest::FakeClock clock;
    veltest::FakeWeb web(clock);
    for (const auto& [prefix, replies] : c.replies) web.on(prefix, replies);
    OpenCatalogueSearch step(web, clock);
    const auto hit = step.Find("Foo", "Bar");

    ASSERT_EQ(web.requests.size(), c.requests.size());
    for (std::size_t i = 0; i < c.requests.size(); ++i) EXPECT_EQ(web.requests[i].url.rfind(c.requests[i], 0), 0u) << i;
    // MusicBrainz hears at most one request a second, counted from the end of the one before.
    std::optional<veltest::Clock::time_point> last;
    for (const auto& r : web.requests) {
        if (r.url.rfind("https://musicbrainz.org/", 0) != 0) continue;
        if (last) {
            EXPECT_GE(r.at - *last, 1s) << r.url;
        }
        last = r.at + 50ms;
    }
    ASSERT_EQ(hit.has_value(), c.hit);
    if (!hit) return;
    EXPECT_EQ(hit->asin, c.asin);
    const auto size = JpegSize(hit->jpeg);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, c.side);
    EXPECT_EQ(size->height, c.side);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Step,
    ::testing::Values(
        Case{"MusicBrainzHitWithAsinScaledTo179",
             {{kSearch, {kFound}}, {lookup(2), {releaseInfo(true, "B000TEST02")}}, {front(2), {kPicture250}}},
             {kSearch, front(2), lookup(2)}, true, "B000TEST02", 179},
        Case{"WithoutFrontCoverTheNextReleaseAndItsAsin",
             {{kSearch, {kFound}}, {lookup(2), {releaseInfo(false, "B000TEST02")}},
              {lookup(1), {releaseInfo(true, "B000TEST01")}}, {front(1), {kPicture160}}},
             {kSearch, front(2), front(1), lookup(1)}, true, "B000TEST01", 160},
        Case{"CoverThatIsNoPictureTheNextRelease",
             {{kSearch, {kFound}}, {lookup(2), {releaseInfo(true, "B000TEST02")}}, {front(2), {kNoPicture}},
              {lookup(1), {releaseInfo(true, "B000TEST01")}}, {front(1), {kPicture160}}},
             {kSearch, front(2), front(1), lookup(1)}, true, "B000TEST01", 160},
        Case{"BusyOnceThenAnswers",
             {{kSearch, {kBusy, kFound}}, {lookup(2), {kBusy, releaseInfo(true, "B000TEST02")}}, {front(2), {kPicture160}}},
             {kSearch, kSearch, front(2), lookup(2), lookup(2)}, true, "B000TEST02", 160},
        Case{"BusyFourTimesGivesUpOnMusicBrainz",
             {{kSearch, {kBusy}}, {kITunes, {songs({1})}}, {art(1), {kPicture160}}},
             {kSearch, kSearch, kSearch, kSearch, kITunes, art(1)}, true, "", 160},
        Case{"BusyLookupsLeaveTheCoverWithoutAsin",
             {{kSearch, {kFound}}, {front(2), {kPicture160}}, {lookup(2), {kBusy}}},
             {kSearch, front(2), lookup(2), lookup(2), lookup(2), lookup(2)}, true, "", 160},
        Case{"RetryAfterBeyondTheTimeLeftEndsMusicBrainz",
             {{kSearch, {busy(503, 3600s)}}, {kITunes, {songs({1})}}, {art(1), {kPicture160}}},
             {kSearch, kITunes, art(1)}, true, "", 160},
        Case{"RetryAfterWithinTheTimeLeftIsWaitedFor",
             {{kSearch, {busy(503, 20s), kFound}}, {front(2), {kPicture160}}, {lookup(2), {releaseInfo(true)}}},
             {kSearch, kSearch, front(2), lookup(2)}, true, "", 160},
        Case{"MalformedJsonGoesToITunes",
             {{kSearch, {ok(R"({"recordings":[)")}}, {kITunes, {songs({1})}}, {art(1), {kPicture160}}},
             {kSearch, kITunes, art(1)}, true, "", 160},
        Case{"EmptyResultListGoesToITunes",
             {{kSearch, {kNone}}, {kITunes, {songs({1, 2})}}, {art(1), {kNoPicture}}, {art(2), {kPicture250}}},
             {kSearch, kITunes, art(1), art(2)}, true, "", 179},
        Case{"CoverInPrintingInksIsAHit",
             {{kSearch, {kNone}},
              {kITunes, {songs({1})}},
              {art(1), {ok(veltest::inkJpeg(250, 250, {200, 100, 50}, true, true))}}},
             {kSearch, kITunes, art(1)}, true, "", 179},
        Case{"ITunesForbiddenIsNoHitAndNotRetried",
             {{kSearch, {kNone}}, {kITunes, {busy(403)}}}, {kSearch, kITunes}, false, ""},
        Case{"ITunesTooManyRequestsWaitsItsRetryAfter",
             {{kSearch, {kNone}}, {kITunes, {busy(429, 2s), songs({1})}}, {art(1), {kPicture160}}},
             {kSearch, kITunes, kITunes, art(1)}, true, "", 160},
        Case{"NothingAnywhere", {{kSearch, {kNone}}, {kITunes, {songs({})}}}, {kSearch, kITunes}, false, ""},
        Case{"UnreachableMusicBrainzIsNotAskedAgain",
             {{kSearch, {kFound}}, {front(2), {kPicture160}}, {lookup(2), {WebReply{}}}},
             {kSearch, front(2), lookup(2)}, true, "", 160}),
    [](const auto& info) { return std::string(info.param.name); });

// A Retry-After is waited for in full, counted from the reply that asked for it.
TEST(RetryAfter, NextRequestWaitsAsLongAsAsked) {
    veltest::FakeClock clock;
    veltest::FakeWeb web(clock);
    web.on(kSearch, {busy(503, 20s), kNone});
    web.on(kITunes, {busy(429, 7s), songs({})});
    EXPECT_FALSE(OpenCatalogueSearch(web, clock).Find("Foo", "Bar"));
    ASSERT_EQ(web.requests.size(), 4u);
    EXPECT_GE(web.requests[1].at - web.requests[0].at, 20s + 50ms);
    EXPECT_GE(web.requests[3].at - web.requests[2].at, 7s + 50ms);
}

TEST(StepLimit, SlowServersEndTheStepInTime) {
    veltest::FakeClock clock;
    veltest::FakeWeb web(clock, 25s); // every request takes 25 s
    web.on(kSearch, {kFound});
    web.on(lookup(2), {releaseInfo(false)});
    const auto start = clock.now();
    EXPECT_FALSE(OpenCatalogueSearch(web, clock).Find("Foo", "Bar"));
    for (const auto& r : web.requests) EXPECT_LT(r.at - start, 60s) << r.url;
    EXPECT_FALSE(web.requests.empty());
}

TEST(StepLimit, NoWordsNoRequest) {
    veltest::FakeClock clock;
    veltest::FakeWeb web(clock);
    EXPECT_FALSE(OpenCatalogueSearch(web, clock).Find("  ", ""));
    EXPECT_TRUE(web.requests.empty());
}

} // namespace
