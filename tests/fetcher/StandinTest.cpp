// The stand-in server as demos and benchmarks use it: rule specs, the
// velstandin program steered by a scenario file, logging each request line,
// and the demo catalogue (album specs, searches, images, product pages).
#include "EventWaits.h"
#include "HttpFetch.h"
#include "StandinServer.h"
#include "TempFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Far beyond any real wait: a slow machine makes these tests slower, not red.
constexpr std::chrono::seconds kCeiling{30};

// How often a process's main thread has gone to sleep of its own accord.
long voluntarySleeps(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
    return -1;
}

// Kills and reaps a child that a failed assertion left running.
struct ReapOnExit {
    const pid_t& pid;
    ~ReapOnExit() {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Starts velstandin with `args`, its standard output going to `out`; 0 if it cannot.
pid_t startStandin(std::vector<std::string> args, const std::string& out) {
    args.insert(args.begin(), VEL_STANDIN_PROGRAM);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : 0;
}

// The port named by the line "port <n>" once `out` holds it; 0 if it does not within the ceiling.
int portOf(veltest::FolderWatch& watch, const veltest::TempFolder& folder) {
    int port = 0;
    watch.waitFor([&] {
        const std::string text = folder.read("out").value_or("");
        std::istringstream in(text);
        std::string word;
        return text.find('\n') != std::string::npos && in >> word >> port && word == "port";
    }, kCeiling);
    return port;
}

} // namespace

struct RuleCase {
    const char* name;
    std::string text;
    bool valid;
    standin::Action action;
    std::string match;
    long long arg;
    int times;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class RuleSpec : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleSpec, Parsed) {
    const auto& c = GetParam();
    std::string error;
    auto rule = standin::parseRule(c.text, &error);
    ASSERT_EQ(rule.has_value(), c.valid) << error;
    if (!c.valid) {
        EXPECT_FALSE(error.empty());
        return;
    }
    EXPECT_EQ(rule->action, c.action);
    EXPECT_EQ(rule->match, c.match);
    EXPECT_EQ(rule->arg, c.arg);
    EXPECT_EQ(rule->times, c.times);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RuleSpec,
    ::testing::Values(
        RuleCase{"ShortFiveTimes", "match=page=1& action=short times=5", true, standin::Action::Short, "page=1&", -1, 5},
        RuleCase{"DripWithPace", "action=drip arg=250", true, standin::Action::Drip, "", 250, -1},
        RuleCase{"NotFound", "match=/search action=404", true, standin::Action::NotFound, "/search", -1, -1},
        RuleCase{"NoAction", "match=x", false, {}, {}, 0, 0},
        RuleCase{"UnknownAction", "action=explode", false, {}, {}, 0, 0},
        RuleCase{"BadNumber", "action=huge arg=lots", false, {}, {}, 0, 0},
        RuleCase{"NotKeyValue", "action=short oops", false, {}, {}, 0, 0},
        RuleCase{"MissingFile", "action=body file=/nonexistent/reply.xml", false, {}, {}, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StandinProgram, ScenarioSteersRepliesAndRequestLinesAreLogged) {
    veltest::TempFolder folder;
    folder.write("scenario", "# no results, and the search page answers short twice\n"
                             "results 0\n"
                             "rule match=/search action=short times=2\n");
    veltest::FolderWatch watch(folder.path());
    const pid_t pid = startStandin({"--scenario", folder.file("scenario"), "--log", folder.file("requests.log"),
                                    "--max-seconds", "30"}, folder.file("out"));
    ASSERT_NE(pid, 0);
    ReapOnExit reap{pid};
    const int port = portOf(watch, folder);
    ASSERT_GT(port, 0);

    velfetch::HttpSettings http;
    http.proxy = "http://127.0.0.1:" + std::to_string(port);
    std::vector<std::uint8_t> bytes;
    const std::string engine = "http://www.google.co.jp/search?hl=ja&q=x&lr=lang_ja";
    const std::int32_t first = velfetch::DownloadBytes(engine, bytes, http);
    velfetch::DownloadBytes(engine, bytes, http);
    const std::int32_t third = velfetch::DownloadBytes(engine, bytes, http);
    const std::int32_t probe =
        velfetch::DownloadBytes("http://xml.amazon.co.jp/onca/xml3?KeywordSearch=x&page=1", bytes, http);
    const std::string reply(bytes.begin(), bytes.end());

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_LE(first, 800);
    EXPECT_GT(third, 800);
    EXPECT_GT(probe, 800);
    EXPECT_NE(reply.find("<TotalResults>0</TotalResults>"), std::string::npos);
    EXPECT_EQ(folder.read("requests.log"), "GET " + engine + " HTTP/1.1\nGET " + engine + " HTTP/1.1\nGET " + engine +
                                               " HTTP/1.1\nGET http://xml.amazon.co.jp/onca/xml3?KeywordSearch=x&page=1 HTTP/1.1\n");
}

// A stand-in whose starter is killed ends by itself, not at its time limit.
TEST(StandinProgram, EndsOnceTheWatchedProcessHasGone) {
    veltest::TempFolder folder;
    std::string sleepProgram = "/bin/sleep", lifetime = "300";
    char* sleepArgv[] = {sleepProgram.data(), lifetime.data(), nullptr};
    pid_t watched = 0;
    ASSERT_EQ(posix_spawn(&watched, sleepProgram.c_str(), nullptr, nullptr, sleepArgv, environ), 0);
    ReapOnExit reapWatched{watched};

    veltest::FolderWatch watch(folder.path());
    const pid_t pid = startStandin({"--watch-pid", std::to_string(watched), "--max-seconds", "600"}, folder.file("out"));
    ASSERT_NE(pid, 0);
    ReapOnExit reapStandin{pid};
    ASSERT_GT(portOf(watch, folder), 0);
    // After its port line the stand-in's main thread only goes round its watch loop,
    // asleep once a round: three more sleeps are three looks at a living process.
    // Nothing signals a look: the count is read again every 20 ms.
    const long before = voluntarySleeps(pid);
    for (const auto until = std::chrono::steady_clock::now() + kCeiling;
         voluntarySleeps(pid) < before + 3 && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(voluntarySleeps(pid), before + 3);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "ended while the watched process lived";

    kill(watched, SIGKILL);
    waitpid(watched, nullptr, 0);
    ASSERT_TRUE(veltest::endsWithin(pid, kCeiling)) << "still running long after the watched process ended";
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// The demo catalogue: albums of our own found by their texts and identifiers.
struct AlbumSpecCase {
    const char* name;
    std::string text;
    bool valid;
    std::string asin, artist, albumName, tracks;
};

void PrintTo(const AlbumSpecCase& c, std::ostream* os) { *os << c.name; }

class AlbumSpec : public ::testing::TestWithParam<AlbumSpecCase> {};

TEST_P(AlbumSpec, Parsed) {
    const auto& c = GetParam();
    std::string error;
    auto album = standin::parseAlbum(c.text, &error);
    ASSERT_EQ(album.has_value(), c.valid) << error;
    if (!c.valid) {
        EXPECT_FALSE(error.empty());
        return;
    }
    EXPECT_EQ(album->asin, c.asin);
    EXPECT_EQ(album->artist, c.artist);
    EXPECT_EQ(album->name, c.albumName);
    EXPECT_EQ(album->tracks, c.tracks);
    EXPECT_TRUE(album->imageBytes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, AlbumSpec,
    ::testing::Values(
        AlbumSpecCase{"FourFields", "B0VELMORA1|ベルモラ楽団|Velmora デモ|朝の散歩;夜の散歩", true, "B0VELMORA1",
                      "ベルモラ楽団", "Velmora デモ", "朝の散歩;夜の散歩"},
        AlbumSpecCase{"EmptyImageField", "B1|a|b|c|", true, "B1", "a", "b", "c"},
        AlbumSpecCase{"TooFewFields", "B1|a|b", false, {}, {}, {}, {}},
        AlbumSpecCase{"TooManyFields", "B1|a|b|c|d|e", false, {}, {}, {}, {}},
        AlbumSpecCase{"EmptyAsin", "|a|b|c", false, {}, {}, {}, {}},
        AlbumSpecCase{"AsinWithMarkup", "B1<b>|a|b|c", false, {}, {}, {}, {}},
        AlbumSpecCase{"AsinWithSlash", "B1/x|a|b|c", false, {}, {}, {}, {}},
        AlbumSpecCase{"MissingImage", "B1|a|b|c|/nonexistent/cover.jpg", false, {}, {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

standin::Config demoCatalogue() {
    standin::Config config;
    config.albums = {{"B0VELMORA1", "ベルモラ楽団", "Velmora デモ", "朝の散歩;夜の散歩", "MORNING"},
                     {"B0VELMORA2", "ベルモラ楽団", "Velmora 二", "夕方の散歩", ""}};
    return config;
}

std::string keywordTarget(const std::string& encodedWords, int page = 1) {
    return "http://xml.amazon.co.jp/onca/xml3?t=plovtarnime-22&KeywordSearch=" + encodedWords +
           "&mode=music&type=heavy&locale=jp&page=" + std::to_string(page) + "&f=xml";
}

struct KeywordCase {
    const char* name;
    std::string words; // percent-encoded, as the fetcher sends them
    int page;
    std::string total;
    std::vector<std::string> asins;
};

void PrintTo(const KeywordCase& c, std::ostream* os) { *os << c.name; }

class CatalogueKeyword : public ::testing::TestWithParam<KeywordCase> {};

TEST_P(CatalogueKeyword, FindsTheAlbumsHoldingEveryWord) {
    const auto& c = GetParam();
    const std::string reply = standin::catalogueReply(demoCatalogue(), keywordTarget(c.words, c.page));
    EXPECT_NE(reply.find("<TotalResults>" + c.total + "</TotalResults>"), std::string::npos) << reply;
    std::vector<std::string> asins;
    for (std::size_t at = 0; (at = reply.find("<Asin>", at)) != std::string::npos; at += 6)
        asins.push_back(reply.substr(at + 6, reply.find('<', at + 6) - at - 6));
    EXPECT_EQ(asins, c.asins);
}

// "ベルモラ楽団" and "朝の散歩" in UTF-8, percent-encoded; %E3%80%80 is the ideographic space.
#define ARTIST "%E3%83%99%E3%83%AB%E3%83%A2%E3%83%A9%E6%A5%BD%E5%9B%A3"
#define MORNING "%E6%9C%9D%E3%81%AE%E6%95%A3%E6%AD%A9"
INSTANTIATE_TEST_SUITE_P(
    Table, CatalogueKeyword,
    ::testing::Values(KeywordCase{"ArtistAndTrack", ARTIST "+" MORNING, 1, "1", {"B0VELMORA1"}},
                      KeywordCase{"IdeographicSpace", ARTIST "%E3%80%80" MORNING, 1, "1", {"B0VELMORA1"}},
                      KeywordCase{"ArtistAloneFindsBothInOrder", ARTIST, 1, "2", {"B0VELMORA1", "B0VELMORA2"}},
                      KeywordCase{"AlbumNameWord", "Velmora+%E4%BA%8C", 1, "1", {"B0VELMORA2"}},
                      KeywordCase{"OneWordMissing", ARTIST "+Blue", 1, "0", {}},
                      KeywordCase{"NoWords", "+", 1, "0", {}},
                      KeywordCase{"SecondPageIsEmpty", ARTIST, 2, "2", {}}),
    [](const auto& info) { return std::string(info.param.name); });
#undef ARTIST
#undef MORNING

TEST(DemoCatalogue, AsinSearchAndImagesFindTheAlbumOthersKeepTheDefaults) {
    const auto config = demoCatalogue();
    const std::string hit = standin::catalogueReply(config, "http://xml.amazon.co.jp/onca/xml3?AsinSearch=B0VELMORA1&page=1");
    EXPECT_NE(hit.find("<ProductName>Velmora デモ</ProductName>"), std::string::npos);
    EXPECT_NE(hit.find("<Track>朝の散歩</Track><Track>夜の散歩</Track>"), std::string::npos);
    const std::string other = standin::catalogueReply(config, "http://xml.amazon.co.jp/onca/xml3?AsinSearch=B000OTHER1&page=1");
    EXPECT_NE(other.find("<ProductName>Stand-in album B000OTHER1</ProductName>"), std::string::npos);

    standin::Server server(config);
    ASSERT_TRUE(server.start());
    velfetch::HttpSettings http;
    http.proxy = server.proxyUrl();
    auto get = [&](const std::string& url) {
        std::vector<std::uint8_t> bytes;
        velfetch::DownloadBytes(url, bytes, http);
        return std::string(bytes.begin(), bytes.end());
    };
    EXPECT_EQ(get("http://img.standin.invalid/images/B0VELMORA1.MZZZZZZZ.jpg"), "MORNING");
    // An album without a cover of its own and an unknown image get the default.
    EXPECT_EQ(get("http://img.standin.invalid/images/B0VELMORA2.MZZZZZZZ.jpg"), standin::defaultImage());
    EXPECT_EQ(get("http://img.standin.invalid/images/B0VELMORA10.MZZZZZZZ.jpg"), standin::defaultImage());
    const std::string page = get("http://www.amazon.co.jp/exec/obidos/ASIN/B0VELMORA1/plovtarnime-22/sim=noref");
    EXPECT_NE(page.find("<h1>Velmora デモ</h1>"), std::string::npos) << page;
}

struct PageCase {
    const char* name;
    std::string target;
    std::string image;
    std::vector<std::string> holds;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class ProductPage : public ::testing::TestWithParam<PageCase> {};

TEST_P(ProductPage, HoldsTheProduct) {
    const auto& c = GetParam();
    auto config = demoCatalogue();
    config.albums[0].imageBytes = c.image;
    const std::string page = standin::productPage(config, c.target);
    EXPECT_EQ(page.rfind("<!doctype html>", 0), 0u);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    for (const auto& text : c.holds) EXPECT_NE(page.find(text), std::string::npos) << text << "\n" << page;
}

const std::string kStore = "http://www.amazon.co.jp/exec/obidos/ASIN/";
// The inlined cover's base64 digits, with one and two padding characters.
INSTANTIATE_TEST_SUITE_P(
    Table, ProductPage,
    ::testing::Values(
        PageCase{"AlbumThreeBytes", kStore + "B0VELMORA1/plovtarnime-22/sim=noref", "Man",
                 {"<title>Velmora デモ - ベルモラ楽団 | デモ用ストア</title>", "アーティスト: ベルモラ楽団",
                  "<li>朝の散歩</li><li>夜の散歩</li>", "data:image/jpeg;base64,TWFu\""}},
        PageCase{"AlbumTwoBytes", kStore + "B0VELMORA1/plovtarnime-22/sim=noref", "Ma", {"base64,TWE=\""}},
        PageCase{"AlbumOneByte", kStore + "B0VELMORA1", "M", {"base64,TQ==\""}},
        PageCase{"StoreFrontListsTheCatalogue", kStore + "plovtarnime-22/sim=noref", "",
                 {"<h1>デモ用ストア</h1>", "Velmora デモ - ベルモラ楽団 (B0VELMORA1)", "(B0VELMORA2)"}},
        PageCase{"UnknownProductIsEscaped", kStore + "<b>x/plovtarnime-22", "",
                 {"<h1>Stand-in album &lt;b&gt;x</h1>", "カタログにありません"}}),
    [](const auto& info) { return std::string(info.param.name); });
