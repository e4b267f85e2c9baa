// The real velfetch asking the open catalogues when the built-in services find
// nothing: all five hosts stood in for on loopback, HTTPS through the proxy
// settings, the stand-in's test CA named by CURL_CA_BUNDLE.
#include "CoverFit.h"
#include "HttpSettings.h"
#include "VelfetchProgram.h"
#include "opencatalog/HostilePictures.h"
#include "opencatalog/PlayedBack.h"
#include "owncover/TaggedTrack.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace std::chrono_literals;

namespace {

const std::string kCerts = VEL_STANDIN_CERTS;
const std::string kRelease = "0a0a0a0a-1111-4222-8333-444444444444";
const std::string kAgent = "velbot/1.00 ( https://velmora.example.jp/ )";
// What a fetcher may hold at its peak: half again the download cap.
constexpr long kMemoryBoundKiB = long(velfetch::kMaxDownloadBytes / 1024 * 3 / 2);

standin::OpenTrack track(bool front, bool itunes, std::string image = {}) {
    return {"Foo Artist", "Bar Title", kRelease, "B00TESTMB1", front, itunes, std::move(image)};
}

// A loopback port that only counts the connections made to it.
class Listener {
public:
    Listener() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 16) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            return;
        port_ = ntohs(a.sin_port);
    }
    ~Listener() { close(fd_); }
    int port() const { return port_; }
    // Connections made so far, taken from the queue.
    int connections() {
        int n = 0;
        for (int c; (c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ++n) close(c);
        return n;
    }

private:
    int fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int port_ = 0;
};

class OpenProgram : public veltest::VelfetchProgram {
protected:
    void SetUp() override {
        server.enableTls({kCerts + "/server.pem", kCerts + "/server.key"});
        VelfetchProgram::SetUp();
    }

    // The built-in services answer "nothing" unless `catalogueResults`.
    int lookUp(std::vector<standin::OpenTrack> tracks, const std::string& file, long long catalogueResults = 0,
               const std::string& caBundle = kCerts + "/ca.pem") {
        standin::Config config;
        config.totalResults = catalogueResults;
        config.engineLink.clear();
        config.openTracks = std::move(tracks);
        server.setConfig(config);
        return run({'"' + file + '"'}, {}, {"CURL_CA_BUNDLE=" + caBundle});
    }

    std::string taggedTrack() {
        std::ofstream(folder.file("track.mp3"), std::ios::binary) << veltest::withId3v1("Bar Title", "Foo Artist");
        return folder.file("track.mp3");
    }

    std::vector<std::string> secureRequests() {
        std::vector<std::string> out;
        for (const auto& r : server.requests())
            if (r.rfind("https://", 0) == 0) out.push_back(r);
        return out;
    }

    std::pair<int, int> pictureSize() {
        const auto image = folder.read("temp.jpg");
        if (!image) return {0, 0};
        const auto size = velfetch::opencatalog::JpegSize(veltest::bytes(*image));
        return size ? std::pair{size->width, size->height} : std::pair{-1, -1};
    }
};

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
    standin::Config config;
    config.totalResults = 0;
    config.engineLink.clear();
    config.openTracks = {track(true, false), {"Baz Artist", "Qux Title", "0b0b0b0b-1111-4222-8333-444444444444",
                                              "B00TESTMB2", true, false, {}}};
    server.setConfig(config);
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

    standin::Config config;
    config.totalResults = 0;
    config.engineLink.clear();
    config.openTracks = {track(true, true)};
    server.setConfig(config);
    const pid_t pid = start({'"' + taggedTrack() + '"'}, {}, {"CURL_CA_BUNDLE=" + kCerts + "/ca.pem"});
    ASSERT_NE(pid, 0);
    // It has taken its turn once the file holds something else.
    while (veltest::TempFolder::readFile(pace) == turns) std::this_thread::sleep_for(5ms);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
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

// The picture the user already has, in the track's tag or beside it, is
// saved before any open catalogue is asked, though they would have a cover.
// Pictures and tags made to cost far more than their size keep the fetcher
// within the memory bound that downloads keep (half again their cap); the
// hostile tags also stand in for the ID3v1 tag, so the decoder library's tag
// plug-in reads them too, and the title and artist after the blow-up count.
struct OwnCase {
    const char* name;
    // Makes the track (in `folder`, and pictures beside it) from a track with an ID3v1 tag; its path.
    std::function<std::string(veltest::TempFolder& folder, const std::string& plain)> track;
    std::pair<int, int> size;                  // of the cover saved
    std::optional<std::array<int, 3>> colour{}; // of its middle pixel, give or take a little
    bool taggedWords = true;                    // the catalogue is asked for "Foo Artist Bar Title"
};
void PrintTo(const OwnCase& c, std::ostream* os) { *os << c.name; }

class OwnPictureProgram : public OpenProgram, public ::testing::WithParamInterface<OwnCase> {};

TEST_P(OwnPictureProgram, SavedWithoutAskingTheOpenCatalogues) {
    folder.write("asin", "OLDASIN");
    const std::string file = GetParam().track(folder, veltest::withId3v1("Bar Title", "Foo Artist"));
    ASSERT_EQ(lookUp({track(true, true, veltest::jpeg(250, 250))}, file), 0);
    ASSERT_FALSE(server.requests().empty()); // the built-in steps came first
    if (GetParam().taggedWords) {
        EXPECT_NE(server.requests()[0].find("&KeywordSearch=Foo+Artist+Bar+Title&"), std::string::npos)
            << server.requests()[0];
    }
    EXPECT_TRUE(server.tunnels().empty());
    EXPECT_TRUE(secureRequests().empty());
    EXPECT_EQ(pictureSize(), GetParam().size);
    EXPECT_EQ(folder.read("asin"), "");
    if (const auto& colour = GetParam().colour) {
        const auto saved = veltest::middleColour(veltest::bytes(folder.read("temp.jpg").value_or("")));
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(saved[i], (*colour)[i], 8) << "channel " << i;
    }
#if defined(__SANITIZE_ADDRESS__)
    return; // memory is measured without the sanitizers
#endif
    if (peakKiB == 0) GTEST_SKIP() << "no GNU time to measure with";
    EXPECT_LT(peakKiB, kMemoryBoundKiB) << "peak resident memory in KiB";
    std::printf("[ memory ] peak %ld KiB\n", peakKiB);
}

constexpr std::array<int, 3> kOrange{200, 100, 50};
using Type = TagLib::ID3v2::AttachedPictureFrame::Type;

// The track with these bytes before its audio (a tag), and these after its ID3v1 tag's place.
std::string written(veltest::TempFolder& folder, const std::string& before, const std::string& plain,
                    const std::string& after = {}) {
    folder.write("track.mp3", before + plain.substr(0, plain.size() - 128) + after + plain.substr(plain.size() - 128));
    return folder.file("track.mp3");
}
std::string embedded(veltest::TempFolder& folder, const std::string& plain, const std::string& picture) {
    const std::string path = written(folder, {}, plain);
    EXPECT_TRUE(veltest::addPictures(path, {{Type::FrontCover, picture}}));
    return path;
}
std::string beside(veltest::TempFolder& folder, const std::string& plain, const char* name,
                   const std::string& picture) {
    folder.write(name, picture);
    return written(folder, {}, plain);
}

const std::string kPicture = veltest::jpeg(500, 250);

// The track without its ID3v1 tag, with these bytes before it (a tag) and these at its end.
std::string untagged(veltest::TempFolder& folder, const std::string& before, const std::string& plain,
                     const std::string& after = {}) {
    folder.write("track.mp3", before + plain.substr(0, plain.size() - 128) + after);
    return folder.file("track.mp3");
}
// Title and artist frames of an ID3v2 tag (version 3 or 4).
std::string names(int version) {
    return veltest::id3Frame(version, "TIT2", std::string(1, '\3') + "Bar Title") +
           veltest::id3Frame(version, "TPE1", std::string(1, '\3') + "Foo Artist");
}
// A text frame's body of `count` values "a", two bytes each.
std::string manyValues(int count) {
    std::string text(1, '\0');
    for (int i = 0; i < count; ++i) text += std::string("a\0", 2);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, OwnPictureProgram,
    ::testing::Values(
        OwnCase{"Embedded", [](auto& f, auto& p) { return embedded(f, p, kPicture); }, {358, 179}},
        OwnCase{"Beside", [](auto& f, auto& p) { return beside(f, p, "Cover.JPG", kPicture); }, {358, 179}},
        OwnCase{"EmbeddedYcck",
                [](auto& f, auto& p) { return embedded(f, p, veltest::inkJpeg(500, 250, kOrange, true, true)); },
                {358, 179}, kOrange},
        OwnCase{"BesideCmyk",
                [](auto& f, auto& p) {
                    return beside(f, p, "cover.jpg", veltest::inkJpeg(300, 150, kOrange, false, false));
                },
                {300, 150}, kOrange},
        // IHDR 16 x 16, its image data a 2 MB stream that inflates to 2 GB.
        OwnCase{"PngOfLongImageDataEmbedded",
                [](auto& f, auto& p) { return embedded(f, p, veltest::pngBomb(16, 16, 2000)); }, {16, 16}},
        OwnCase{"PngOfLongImageDataBeside",
                [](auto& f, auto& p) { return beside(f, p, "folder.png", veltest::pngBomb(16, 16, 2000)); }, {16, 16}},
        OwnCase{"FoundByFuzzing",
                [](auto& f, auto&) {
                    f.write("track.mp3",
                            veltest::TempFolder::readFile(VEL_FUZZ_CORPUS "/fuzz_own_cover/own-cover-png-692mb.mp3")
                                .value_or(""));
                    return f.file("track.mp3");
                },
                {16, 16}, std::nullopt, false},
        // Compressed frames that inflate to 1 GB each (a picture, a title), then the names and the cover.
        OwnCase{"CompressedFramesThenCover",
                [](auto& f, auto& p) {
                    const std::string bomb = veltest::bigEndian(1000u << 20, 4, 7) + veltest::zlibZeros(1000);
                    const std::string cover = veltest::id3Frame(4, "APIC", veltest::frontCover(kPicture));
                    return untagged(f,
                                    veltest::id3Tag(4, veltest::id3Frame(4, "APIC", bomb, 0x09) +
                                                           veltest::id3Frame(4, "TIT2", bomb, 0x09) + names(4) + cover),
                                    p);
                },
                {358, 179}},
        // A title of half a million values and a TXXX frame of four million, then the names and the cover.
        OwnCase{"LongTextFramesThenCover",
                [](auto& f, auto& p) {
                    const std::string cover = veltest::id3Frame(3, "APIC", veltest::frontCover(kPicture));
                    return untagged(f,
                                    veltest::id3Tag(3, veltest::id3Frame(3, "TIT2", manyValues(1 << 19)) +
                                                           veltest::id3Frame(3, "TXXX", manyValues(4 << 20)) +
                                                           names(3) + cover),
                                    p);
                },
                {358, 179}},
        // The names, then 700 000 frames of a byte each; the cover beside the track.
        OwnCase{"ManyFramesThenFile",
                [](auto& f, auto& p) {
                    std::string frames = names(3);
                    for (int i = 0; i < 700000; ++i) frames += veltest::id3Frame(3, "XXXX", "a");
                    f.write("cover.jpg", kPicture);
                    return untagged(f, veltest::id3Tag(3, frames), p);
                },
                {358, 179}},
        // An APEv2 comment of eight million NULs, then the names; the cover beside the track.
        OwnCase{"LongApeTextThenFile",
                [](auto& f, auto& p) {
                    f.write("cover.jpg", kPicture);
                    return untagged(f, {}, p,
                                    veltest::apeTag({veltest::apeItem("Comment", std::string(8 << 20, '\0')),
                                                     veltest::apeItem("Title", "Bar Title"),
                                                     veltest::apeItem("Artist", "Foo Artist")}));
                },
                {358, 179}}),
    [](const auto& info) { return std::string(info.param.name); });

// Without the picture plug-in the tag's picture goes unread, quietly: the
// open catalogues are asked as for a track without one.
TEST_F(OpenProgram, WithoutThePicturePluginTheTagsPictureIsNotRead) {
    std::filesystem::remove(folder.file("libvelpictures.so"));
    const std::string file = taggedTrack();
    ASSERT_TRUE(veltest::addPictures(file, {{TagLib::ID3v2::AttachedPictureFrame::FrontCover, kPicture}}));
    ASSERT_EQ(lookUp({track(true, false, veltest::jpeg(250, 250))}, file), 0);
    EXPECT_EQ(pictureSize(), std::pair(179, 179));
    EXPECT_EQ(folder.read("asin"), "B00TESTMB1");
}

} // namespace

namespace {

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
    Listener listener;
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
    standin::Config config;
    config.totalResults = 0;
    config.engineLink.clear();
    config.openTracks = {track(p.caa, !p.caa)};
    server.setConfig(config);
    std::vector<std::string> env{"CURL_CA_BUNDLE=" + kCerts + "/ca.pem"};
    if (p.direct) env.push_back("no_proxy=127.0.0.1");
    ASSERT_EQ(run({'"' + taggedTrack() + '"'}, {}, env), 0);

    EXPECT_EQ(listener.connections(), 0);
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
