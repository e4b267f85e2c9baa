// The library's C interface: what it exports, opening files, genre names, volume.
#include "TagRecordBytes.h"
#include "TestFiles.h"
#include "vbmp3_abi.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

using namespace vbmp3test;

namespace {

std::array<std::uint8_t, 272> openInfo(const std::string& path, int& rc) {
    std::array<std::uint8_t, 272> info;
    info.fill(0xAA);
    rc = vbmp3_open(path.c_str(), info.data());
    return info;
}

} // namespace

TEST(Api, ExportsExactlyTheSixteenOperations) {
    std::istringstream nm(runCommand("nm -D --defined-only '" VBMP3_LIBRARY_FILE "' 2>/dev/null"));
    std::set<std::string> exported;
    for (std::string address, type, name; nm >> address >> type >> name;) exported.insert(name);
    const std::set<std::string> expected = {
        "vbmp3_init",    "vbmp3_setVolume", "vbmp3_getVolume", "vbmp3_stop",
        "vbmp3_encodeStop", "vbmp3_open",   "vbmp3_play",      "vbmp3_pause",
        "vbmp3_restart", "vbmp3_getState",  "vbmp3_seek",      "vbmp3_getFileTagInfoEX",
        "vbmp3_setTagInfoEX", "vbmp3_getGenre", "vbmp3_stopCallback", "vbmp3_free"};
    EXPECT_EQ(exported, expected);
}

TEST(Api, OpenFillsTrackInfoWithTheLengthInSeconds) {
    struct Case {
        const char* file;
        int length, rate, channels;
        const char* format;
    };
    const Case cases[] = {
        {"cbr.mp3", 3, 44100, 2, "MPEG-1 Layer III"},
        {"vbr_noxing.mp3", 8, 44100, 2, "MPEG-1 Layer III"},
        {"mpeg2_mono.mp3", 4, 22050, 1, "MPEG-2 Layer III"},
    };
    ASSERT_EQ(vbmp3_init(), 1);
    for (const Case& c : cases) {
        int rc = 0;
        const auto info = openInfo(fixture(c.file), rc);
        ASSERT_EQ(rc, 1) << c.file;
        EXPECT_EQ(getInt(info.data() + 268), c.length);
        EXPECT_EQ(getInt(info.data() + 256), c.rate);
        EXPECT_EQ(getInt(info.data() + 260), c.channels);
        EXPECT_STREQ(reinterpret_cast<const char*>(info.data()), c.format);
        EXPECT_EQ(info[255], 0); // the second text ends inside its field
    }
    int pos = -1;
    EXPECT_EQ(vbmp3_getState(&pos), 0);
    EXPECT_EQ(vbmp3_free(), 1);
}

TEST(Api, OpenRefusesBadFilesAndKeepsStateStopped) {
    ScratchDir dir;
    writeAll(dir.file("text.mp3"), "plain text, not audio\n");
    writeAll(dir.file("empty.mp3"), "");
    fs::create_directory(dir.file("dir.mp3"));
    ASSERT_EQ(vbmp3_init(), 1);
    for (const std::string& p : {dir.file("text.mp3").string(), dir.file("empty.mp3").string(),
                                dir.file("dir.mp3").string(), dir.file("missing.mp3").string()}) {
        int rc = 1;
        openInfo(p, rc);
        EXPECT_EQ(rc, 0) << p;
    }
    EXPECT_EQ(vbmp3_open(nullptr, nullptr), 0);
    // Play without a file does nothing.
    vbmp3_play();
    int pos = -1;
    EXPECT_EQ(vbmp3_getState(&pos), 0);
    EXPECT_EQ(pos, 0);
    vbmp3_free();
}

TEST(Api, GenreNamesCoverTheStandardListAndNothingAbove) {
    struct Case {
        int genre;
        const char* name;
        int rc;
    };
    const Case cases[] = {
        {0, "Blues", 1},     {17, "Rock", 1},      {79, "Hard Rock", 1}, {80, "Folk", 1},
        {125, "Dance Hall", 1}, {146, "JPop", 1},  {147, "Synthpop", 1}, {191, "Psybient", 1},
        {192, "", 1},        {255, "", 1},         {-1, "", 0},          {256, "", 0},
    };
    for (const Case& c : cases) {
        std::array<std::uint8_t, 652> rec;
        rec.fill('#');
        putInt(rec.data() + 520, c.genre);
        EXPECT_EQ(vbmp3_getGenre(rec.data()), c.rc) << c.genre;
        const char* name = reinterpret_cast<const char*>(rec.data() + 524);
        EXPECT_EQ(std::string(name, strnlen(name, 128)), c.name) << c.genre;
        EXPECT_EQ(rec[519], '#'); // nothing outside GenreName is touched
    }
}

TEST(Api, VolumeReturnsWhatWasSetPerChannel) {
    ASSERT_EQ(vbmp3_init(), 1);
    const std::pair<int, int> values[] = {{50, 50}, {0, 100}, {100, 0}, {37, 81}};
    for (auto [l, r] : values) {
        vbmp3_setVolume(l, r);
        std::int32_t gl = -1, gr = -1;
        vbmp3_getVolume(&gl, &gr);
        EXPECT_EQ(gl, l);
        EXPECT_EQ(gr, r);
    }
    vbmp3_free();
}

TEST(Api, CallsWithoutAFileOrAfterFreeAreHarmless) {
    // Before init, between free and init, and twice in a row: nothing breaks.
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(vbmp3_stop(), 1);
        EXPECT_EQ(vbmp3_encodeStop(), 1);
        EXPECT_EQ(vbmp3_stopCallback(), 1);
        vbmp3_pause();
        vbmp3_restart();
        vbmp3_seek(10);
        int pos = -1;
        EXPECT_EQ(vbmp3_getState(&pos), 0);
        EXPECT_EQ(pos, 0);
        EXPECT_EQ(vbmp3_free(), 1);
        EXPECT_EQ(vbmp3_free(), 1);
        EXPECT_EQ(vbmp3_init(), 1);
    }
    vbmp3_free();
}
