// The real velfetch asking the open catalogues when the built-in services find
// nothing: all five hosts stood in for on loopback, HTTPS through the proxy
// settings, the stand-in's test CA named by CURL_CA_BUNDLE.
#include "LoopbackSocket.h"
#include "OpenProgram.h"
#include "opencatalog/HostilePictures.h"
#include "opencatalog/PlayedBack.h"

#include <unistd.h>

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace std::chrono_literals;

namespace {

using namespace veltest;

TEST_F(OpenProgram, MusicBrainzHitWithAsin) {
    folder.write("asin", "OLDASIN-LONGER-THAN-TEN");
    ASSERT_EQ(lookUp({track(true, true, veltest::jpeg(250, 250))}, taggedTrack()), 0);
    // The release lookup goes alongside the cover's download: after the search, any order.
    auto secure = secureRequests();
    ASSERT_FALSE(secure.empty());
    EXPECT_EQ(secure.front(), "https://musicbrainz.org/ws/2/recording?query=recording%3A%22Bar%20Title%22%20AND%20"
                              "artist%3A%22Foo%20Artist%22&fmt=json&limit=10");
    std::sort(secure.begin() + 1, secure.end());
    EXPECT_EQ(std::vector<std::string>(secure.begin() + 1, secure.end()),
              (std::vector<std::string>{
                  "https://archive.org/download/mbid-" + kRelease + "/mbid-" + kRelease + "-1_thumb250.jpg",
                  "https://coverartarchive.org/release/" + kRelease + "/front-250",
                  "https://musicbrainz.org/ws/2/release/" + kRelease + "?fmt=json"}));
    auto tunnels = server.tunnels();
    std::sort(tunnels.begin(), tunnels.end());
    EXPECT_EQ(tunnels, (std::vector<std::string>{"archive.org:443", "coverartarchive.org:443", "musicbrainz.org:443",
                                                 "musicbrainz.org:443"}));
    EXPECT_EQ(pictureSize(), std::pair(179, 179));
    EXPECT_EQ(folder.read("asin"), "B00TESTMB1");

    std::vector<standin::Server::Seen> mb;
    for (const auto& s : server.seen()) {
        if (s.target.rfind("https://", 0) == 0) {
            EXPECT_EQ(s.userAgent, kAgent) << s.target;
        }
        if (s.target.rfind("https://musicbrainz.org/", 0) == 0) mb.push_back(s);
    }
    ASSERT_EQ(mb.size(), 2u);
    EXPECT_GE(mb[1].at - mb[0].at, 1s);
}

// A track asked for again is answered from the user's cache: no request at
// all leaves for the open catalogues, and the same files are written.
TEST_F(OpenProgram, RepeatedTrackAnsweredFromTheCache) {
    for (const bool hit : {true, false}) { // a MusicBrainz hit, then "nothing found"
        SCOPED_TRACE(hit ? "hit" : "miss");
        const std::string file = hit ? taggedTrack() : "/m/Other Song.mp3";
        server.clearRequests();
        ASSERT_EQ(lookUp({track(true, false)}, file), 0);
        ASSERT_FALSE(secureRequests().empty());
        const auto image = folder.read("temp.jpg"), asin = folder.read("asin");
        EXPECT_EQ(image.has_value(), hit);

        folder.write("temp.jpg", "old cover");
        server.clearRequests();
        ASSERT_EQ(lookUp({track(true, false)}, file), 0);
        EXPECT_TRUE(server.tunnels().empty());
        EXPECT_TRUE(secureRequests().empty());
        EXPECT_EQ(folder.read("temp.jpg"), image);
        EXPECT_EQ(folder.read("asin"), hit ? asin : std::optional<std::string>(""));
    }
}

// Fetchers started one right after the other share MusicBrainz's pace: its
// requests reach it a second apart, whichever fetcher sends them.
TEST_F(OpenProgram, FetchersTogetherKeepMusicBrainzASecondApart) {
    serve({track(true, false),
           {"Baz Artist", "Qux Title", "0b0b0b0b-1111-4222-8333-444444444444", "B00TESTMB2", true, false, {}}});
    veltest::TempFolder other;
    for (const char* f : {"velfetch", "libvbmp3.so"})
        std::filesystem::copy_file(folder.file(f), other.file(f));
    std::ofstream(other.file("track.mp3"), std::ios::binary) << veltest::withId3v1("Qux Title", "Baz Artist");
    const std::vector<std::string> env = {"CURL_CA_BUNDLE=" + kCerts + "/ca.pem"};

    const pid_t first = start({'"' + taggedTrack() + '"'}, {}, env);
    const pid_t second = start({'"' + other.file("track.mp3") + '"'}, {}, env, other.path());
    ASSERT_EQ(finish(first), 0);
    ASSERT_EQ(finish(second), 0);
    EXPECT_EQ(folder.read("asin"), "B00TESTMB1");
    EXPECT_EQ(other.read("asin"), "B00TESTMB2");

    std::vector<std::chrono::steady_clock::time_point> mb;
    for (const auto& s : server.seen())
        if (s.target.rfind("https://musicbrainz.org/", 0) == 0) mb.push_back(s.at);
    ASSERT_EQ(mb.size(), 4u); // a search and a lookup each
    std::sort(mb.begin(), mb.end());
    for (std::size_t i = 1; i < mb.size(); ++i) EXPECT_GE(mb[i] - mb[i - 1], 1s) << i;
}

// A fetcher ended while it waits for MusicBrainz's turn ends at once, sends
// nothing there, and leaves the pace's lock free and no file behind.
TEST_F(OpenProgram, EndedWhileWaitingItsTurn) {
    // Another fetcher's request counts as under way for 20 s more.
    std::filesystem::create_directories(home.file("run/velmora"));
    const std::string pace = home.file("run/velmora/musicbrainz.pace");
    const auto ahead = (std::chrono::steady_clock::now() + 20s).time_since_epoch();
    std::string boot;
    std::getline(std::ifstream("/proc/sys/kernel/random/boot_id"), boot);
    char line[32];
    std::snprintf(line, sizeof line, "%020lld\n", static_cast<long long>(ahead.count()));
    const std::string turns = "boot " + boot + "\n" + line;
    std::ofstream(pace) << turns;

    serve({track(true, true)});
    FolderWatch watch(home.file("run/velmora"));
    const pid_t pid = start({'"' + taggedTrack() + '"'}, {}, {"CURL_CA_BUNDLE=" + kCerts + "/ca.pem"});
    ASSERT_NE(pid, 0);
    // It has taken its turn once the file holds something else.
    const bool tookTurn = watch.waitFor([&] { return TempFolder::readFile(pace) != turns; });
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(tookTurn);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);

    EXPECT_TRUE(secureRequests().empty());
    const int fd = open(pace.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
    EXPECT_EQ(folder.countOthers({"velfetch", "libvbmp3.so", "libvbmp3tags.so", "libvelpictures.so", "track.mp3"}), 0u);
}

TEST_F(OpenProgram, ITunesHitWhenMusicBrainzHasNoArtEmptiesAsin) {
    folder.write("asin", "OLDASIN");
    ASSERT_EQ(lookUp({track(false, true)}, "/m/Foo Artist - Bar Title [MP3].mp3"), 0);
    const auto secure = secureRequests();
    ASSERT_EQ(secure.size(), 5u);
    EXPECT_EQ(secure[0], "https://musicbrainz.org/ws/2/recording?query=foo%20artist%20%5C-%20bar%20title"
                         "&fmt=json&limit=10");
    // The release has no front cover: its release group's is asked for before iTunes.
    EXPECT_EQ(secure[2], "https://coverartarchive.org/release-group/00000000-0000-4000-8000-00000000b001/front-250");
    EXPECT_EQ(secure[3], "https://itunes.apple.com/search?term=Foo+Artist+-+Bar+Title"
                         "&country=JP&media=music&entity=song&limit=10");
    EXPECT_EQ(secure[4], "https://is1-ssl.mzstatic.com/image/thumb/Music/v4/standin/0/160x160bb.jpg");
    EXPECT_EQ(folder.read("temp.jpg"), standin::defaultImage()); // 160 px: saved as it came
    EXPECT_EQ(folder.read("asin"), "");
}

TEST_F(OpenProgram, TheTagsAlbumPicksTheRelease) {
    const std::string other = "0a0a0a0a-1111-4222-8333-555555555555";
    std::ofstream(folder.file("track.mp3"), std::ios::binary)
        << veltest::withId3v1("Bar Title", "Foo Artist", "Second Album");
    standin::OpenTrack second = track(true, false);
    second.album = "Second Album";
    ASSERT_EQ(lookUp({{"Foo Artist", "Bar Title", other, "B00TESTMB0", true, false, {}}, second},
                     folder.file("track.mp3")),
              0);
    const auto secure = secureRequests();
    ASSERT_GE(secure.size(), 2u);
    EXPECT_EQ(secure[1], "https://coverartarchive.org/release/" + kRelease + "/front-250");
    EXPECT_EQ(folder.read("asin"), "B00TESTMB1");
}

TEST_F(OpenProgram, NothingAnywhereKeepsTheNoHitStates) {
    folder.write("asin", "OLDASIN");
    ASSERT_EQ(lookUp({track(true, true)}, "/m/Other Song.mp3"), 0);
    EXPECT_EQ(secureRequests().size(), 2u); // MusicBrainz search, iTunes search
    EXPECT_EQ(folder.read("temp.jpg"), std::nullopt);
    EXPECT_EQ(folder.read("asin"), "OLDASIN");

    folder.write("temp.jpg", "old cover");
    ASSERT_EQ(lookUp({}, "/m/Other Song.mp3"), 0);
    EXPECT_EQ(folder.read("temp.jpg"), std::nullopt);
    EXPECT_EQ(folder.read("asin"), "");
}

TEST_F(OpenProgram, CatalogueHitAsksNoOpenCatalogue) {
    ASSERT_EQ(lookUp({track(true, true)}, taggedTrack(), 3), 0);
    EXPECT_TRUE(server.tunnels().empty());
    EXPECT_TRUE(secureRequests().empty());
    EXPECT_EQ(folder.read("asin"), "B000000001");
}

TEST_F(OpenProgram, UntrustedCertificateIsNoHit) {
    folder.write("temp.jpg", "old cover");
    ASSERT_EQ(lookUp({track(true, true)}, taggedTrack(), 0, "/dev/null"), 0);
    EXPECT_EQ(server.tunnels().size(), 2u); // MusicBrainz, then iTunes: neither gets a request
    EXPECT_TRUE(secureRequests().empty());
    EXPECT_FALSE(folder.read("temp.jpg"));
}

// A reply that points into the user's own machine: a Cover Art Archive
// redirect or an iTunes artwork URL on a loopback port, reached directly
// (no_proxy) or through the proxy.
struct Pointer {
    const char* name;
    bool caa; // else iTunes
    bool direct;
};
void PrintTo(const Pointer& p, std::ostream* os) { *os << p.name; }

class IntoOwnNetwork : public OpenProgram, public ::testing::WithParamInterface<Pointer> {};

TEST_P(IntoOwnNetwork, NoConnectionAndNoCover) {
    const Pointer& p = GetParam();
    LoopbackSocket listener(16, SOCK_NONBLOCK); // no connection made to it waits in its queue
    ASSERT_GT(listener.port(), 0);
    const std::string local = "http://127.0.0.1:" + std::to_string(listener.port());
    if (p.caa) {
        server.addRule({"coverartarchive.org", standin::Action::Redirect, -1, local + "/front.jpg", -1});
    } else {
        const nlohmann::json songs = {
            {"resultCount", 1},
            {"results",
             {{{"artistName", "Foo Artist"}, {"trackName", "Bar Title"}, {"artworkUrl100", local + "/a/100x100bb.jpg"}}}}};
        server.addRule({"itunes.apple.com/search", standin::Action::Body, -1, songs.dump(), -1});
    }
    serve({track(p.caa, !p.caa)});
    std::vector<std::string> env{"CURL_CA_BUNDLE=" + kCerts + "/ca.pem"};
    if (p.direct) env.push_back("no_proxy=127.0.0.1");
    ASSERT_EQ(run({'"' + taggedTrack() + '"'}, {}, env), 0);

    EXPECT_LT(accept(listener.fd(), nullptr, nullptr), 0);
    for (const auto& r : server.requests()) EXPECT_EQ(r.find("127.0.0.1"), std::string::npos) << r;
    EXPECT_FALSE(folder.read("temp.jpg"));
}

INSTANTIATE_TEST_SUITE_P(Table, IntoOwnNetwork,
                         ::testing::Values(Pointer{"CoverArtRedirectDirect", true, true},
                                           Pointer{"CoverArtRedirectViaProxy", true, false},
                                           Pointer{"ITunesArtworkDirect", false, true},
                                           Pointer{"ITunesArtworkViaProxy", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenProgram, PictureOfEndlessScansEndsAsNoHit) {
    // 200 000 scans of a 1024 px square: minutes of decoding without a limit.
    ASSERT_EQ(lookUp({track(true, true, veltest::manyScans(1024, 200000))}, taggedTrack()), 0);
    EXPECT_EQ(secureRequests().size(), 6u); // both pictures were fetched, neither decoded
    EXPECT_FALSE(folder.read("temp.jpg"));
}

TEST_F(OpenProgram, GzipPictureStaysWithinHalfAgainTheCap) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "memory is measured without the sanitizers";
#endif
    const std::size_t cap = velfetch::kMaxDownloadBytes, body = cap / 4 * 3;
    const std::string picture = veltest::jpeg(160, 160);
    server.addRule({"archive.org/download", standin::Action::Gzip, -1, {}, -1});
    // A few kilobytes on the wire, three quarters of the cap once decoded: one
    // copy of it fits the bound beside the program itself, a second does not.
    ASSERT_EQ(lookUp({track(true, false, picture + std::string(body - picture.size(), '\0'))}, taggedTrack()), 0);
    EXPECT_EQ(folder.read("temp.jpg"), picture); // the picture, without what followed its end
    if (peakKiB == 0) GTEST_SKIP() << "no GNU time to measure with";
    EXPECT_LT(peakKiB, kMemoryBoundKiB) << "peak resident memory in KiB";
    std::printf("[ memory ] peak %ld KiB for a gzip picture of %zu bytes decoded\n", peakKiB, body);
}

} // namespace
