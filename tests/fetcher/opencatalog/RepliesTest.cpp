// Reading the services' JSON replies, written here in their documented shapes.
#include "ITunesSearch.h"
#include "MusicBrainzReplies.h"
#include "opencatalog/PlayedBack.h"

#include <gtest/gtest.h>

using nlohmann::json;
using velfetch::opencatalog::ChooseArtwork;
using velfetch::opencatalog::ChooseReleases;
using velfetch::opencatalog::ReadRelease;
using velfetch::opencatalog::TrackWords;
using veltest::bytes;
using veltest::id;
using veltest::recording;
using veltest::release;
using veltest::search;

namespace {

std::vector<std::string> ids(std::initializer_list<int> ns) {
    std::vector<std::string> v;
    for (int n : ns) v.push_back(id(n));
    return v;
}

struct ChoiceCase {
    const char* name;
    std::string reply;
    std::optional<std::vector<std::string>> chosen;
};
void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class Choice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(Choice, AcceptedReleasesBestFirst) {
    const auto chosen = ChooseReleases(bytes(GetParam().reply), TrackWords("Foo", "Bar"), 3);
    std::optional<std::vector<std::string>> ids;
    if (chosen) {
        ids.emplace();
        for (const auto& release : *chosen) ids->push_back(release.id);
    }
    EXPECT_EQ(ids, GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Choice,
    ::testing::Values(
        ChoiceCase{"OfficialFirst", search({recording("Foo", "Bar", {release(1, "Bootleg"), release(2, "Promotion"),
                                                                     release(3)})}),
                   ids({3, 1, 2})},
        ChoiceCase{"AlbumThenOtherAlbumThenSingleThenCompilation",
                   search({recording("Foo", "Bar", {release(1, "Official", "Album", {"Compilation"}),
                                                    release(2, "Official", "Single"), release(3, "Official", "Other"),
                                                    release(4, "Official", "Album", {"Live"}), release(5)})}),
                   ids({5, 4, 2})},
        ChoiceCase{"JapanThenEarliestDateThenUndated",
                   search({recording("Foo", "Bar", {release(1, "Official", "Album", {}, "GB", "1999"),
                                                    release(2, "Official", "Album", {}, "JP", ""),
                                                    release(3, "Official", "Album", {}, "JP", "2001-03"),
                                                    release(4, "Official", "Album", {}, "JP", "2001-02-28")})}),
                   ids({4, 3, 2})},
        ChoiceCase{"AcrossRecordingsEachReleaseOnce",
                   search({recording("Foo", "Bar", {release(1, "Official", "Single")}),
                           recording("Foo", "Bar", {release(1, "Official", "Single"), release(2)})}),
                   ids({2, 1})},
        ChoiceCase{"OnlyAcceptedRecordingsCount",
                   search({recording("Foo", "Bar (Karaoke)", {release(1)}), recording("Not Foo", "Bar", {release(2)}),
                           recording("ＦＯＯ", "bar!", {release(3, "Official", "Single")})}),
                   ids({3})},
        ChoiceCase{"EmptyResultList", search(json::array()), std::vector<std::string>{}},
        ChoiceCase{"BadIdentifierSkipped",
                   search({recording("Foo", "Bar", {{{"id", "../../etc"}}, {{"id", id(7)}}})}), ids({7})},
        ChoiceCase{"UnexpectedShapesReadAsEmpty", R"({"recordings":[{"title":7,"releases":{}},3,null]})",
                   std::vector<std::string>{}},
        ChoiceCase{"MalformedJson", R"({"recordings":[{"title":"Bar")", std::nullopt},
        ChoiceCase{"NotAnObject", "[]", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Release, AsinPresentAbsentOrUnusable) {
    const auto read = [](const std::string& text) { return ReadRelease(bytes(text)); };
    auto r = read(R"({"id":"x","asin":"B000TEST01","cover-art-archive":{"artwork":true,"front":true,"back":false}})");
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->front);
    EXPECT_EQ(r->asin, "B000TEST01");
    r = read(R"({"asin":null,"cover-art-archive":{"front":false}})");
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->front);
    EXPECT_EQ(r->asin, "");
    EXPECT_EQ(read(R"({"asin":"B000/../x1","cover-art-archive":{"front":"yes"}})")->asin, "");
    EXPECT_FALSE(read(R"({"asin":"B000/../x1","cover-art-archive":{"front":"yes"}})")->front);
    EXPECT_FALSE(read("<html>busy</html>"));
}

TEST(Artwork, AcceptedSongsAt160Pixels) {
    const json results = {
        {{"artistName", "Foo"}, {"trackName", "Bar (Live)"}, {"artworkUrl100", "https://a.example/1/100x100bb.jpg"}},
        {{"artistName", "foo"}, {"trackName", "BAR"}, {"artworkUrl100", "https://a.example/2/100x100bb.jpg"}},
        {{"artistName", "Foo"}, {"trackName", "Bar"}, {"artworkUrl100", "file:///etc/passwd"}},
        {{"artistName", "Foo"}, {"trackName", "Bar"}, {"artworkUrl100", "https://a.example/3/art.png"}},
        {{"artistName", "Foo"}, {"trackName", "Bar"}, {"artworkUrl100", "http://a.example/4/100x100bb.jpg"}}};
    const std::string reply = json{{"resultCount", 5}, {"results", results}}.dump();
    EXPECT_EQ(ChooseArtwork(bytes(reply), TrackWords("Foo", "Bar"), 3),
              (std::vector<std::string>{"https://a.example/2/160x160bb.jpg", "https://a.example/3/art.png",
                                        "https://a.example/4/160x160bb.jpg"}));
    EXPECT_TRUE(ChooseArtwork(bytes(R"({"resultCount":0,"results":[]})"), TrackWords("Foo", "Bar"), 3).empty());
    EXPECT_TRUE(ChooseArtwork(bytes("not json"), TrackWords("Foo", "Bar"), 3).empty());
}

} // namespace
