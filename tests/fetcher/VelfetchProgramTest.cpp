// Runs the real velfetch program in a temporary application folder, reaching
// the stand-in server through the proxy settings.
#include "VelfetchProgram.h"
#include "vbmp3_abi.h"

#include <dlfcn.h>

#include <cstdio>
#include <fstream>

namespace {

const std::string kStem = "http://xml.amazon.co.jp/onca/xml3?t=plovtarnime-22&dev-t=KQ7TRZWX3HPLM";

std::string keyword(const std::string& words, int page) {
    return kStem + "&KeywordSearch=" + words + "&mode=music-jp&type=heavy&locale=jp&page=" + std::to_string(page) +
           "&f=xml";
}

class Program : public veltest::VelfetchProgram {};

} // namespace

TEST_F(Program, CatalogueHitThroughTheProxySetting) {
    folder.write("temp.jpg", std::string(9000, 'o'));
    EXPECT_EQ(run({"\"" + folder.file("My Song [MP3].mp3") + "\""}), 0);
    EXPECT_EQ(server.requests(),
              (std::vector<std::string>{keyword("My+Song++", 1), keyword("My+Song++", 1),
                                        "http://img.standin.invalid/images/B000000001.MZZZZZZZ.jpg"}));
    EXPECT_EQ(server.seen().at(0).userAgent, "velbot");
    EXPECT_EQ(folder.read("temp.jpg"), standin::defaultImage());
    EXPECT_EQ(folder.read("asin"), "B000000001");
}

TEST_F(Program, ArgumentsAreJoinedBySingleSpaces) {
    EXPECT_EQ(run({"\"/m/My", "Song.mp3\""}), 0);
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests()[0], keyword("My+Song+", 1));
}

TEST_F(Program, EmptyCommandLineMakesNoRequest) {
    folder.write("temp.jpg", "old");
    folder.write("asin", "OLD");
    EXPECT_EQ(run({}), 0);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(folder.read("temp.jpg"), "old");
    EXPECT_EQ(folder.read("asin"), "OLD");
}

TEST_F(Program, UnreachableProxyEndsWithNoHit) {
    const std::string proxy = server.proxyUrl();
    server.stop();
    folder.write("temp.jpg", "old");
    EXPECT_EQ(run({"\"/m/Song.mp3\""}, proxy), 0);
    EXPECT_EQ(folder.read("temp.jpg"), std::nullopt);
    EXPECT_EQ(folder.read("asin"), "");
}

TEST_F(Program, MissingDecoderLibraryIsReportedWithoutNetwork) {
    std::filesystem::remove(folder.file("libvbmp3.so"));
    EXPECT_EQ(run({"\"/m/Song.mp3\""}), 3);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(Program, TagWordsThroughTheDecoderLibrary) {
    std::ofstream(folder.file("track.mp3"), std::ios::binary) << veltest::withId3v1("Bar Title", "Foo Artist");
    {
        // Until the decoder library reads ID3v1 tags this case cannot run.
        void* lib = dlopen(VEL_DECODER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr);
        auto read = reinterpret_cast<int32_t (*)(const char*, uint8_t*)>(dlsym(lib, "vbmp3_getFileTagInfoEX"));
        uint8_t record[656] = {};
        const bool reads = read && read(folder.file("track.mp3").c_str(), record) != 0;
        dlclose(lib);
        if (!reads) GTEST_SKIP() << "the decoder library in the build reads no tags yet";
    }
    EXPECT_EQ(run({"\"" + folder.file("track.mp3") + "\""}), 0);
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests()[0], keyword("Foo+Artist+Bar+Title", 1));
}

TEST_F(Program, PageOfRecordMarkersIsReadInLessThanTwiceItsSize) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "memory is measured without the sanitizers";
#endif
    // Just under the size cap, nothing but "<Details" after the counts.
    std::string page = "<TotalResults>1</TotalResults><TotalPages>1</TotalPages>";
    const std::size_t size = (std::size_t(32) << 20) - 4096;
    page.reserve(size);
    while (page.size() + 8 <= size) page += "<Details";
    standin::Rule marker;
    marker.match = "onca";
    marker.action = standin::Action::Body;
    marker.body = std::move(page);
    server.addRule(std::move(marker));

    EXPECT_EQ(run({"\"/m/Song.mp3\""}), 0);
    EXPECT_EQ(server.requests().size(), 2u); // probe and page 1
    EXPECT_EQ(folder.read("temp.jpg"), "");  // a hit whose record names no image
    EXPECT_LT(peakKiB, 2 * 32 * 1024) << "peak resident memory in KiB";
    std::printf("[ memory ] peak %ld KiB on a %zu-byte page of record markers\n", peakKiB, size);
}
