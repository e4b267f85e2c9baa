// SDL is loaded only when a track is first played: the library does not need
// it, init and tag reading leave it unmapped, playback brings it in (or falls
// back to silence when it is unusable) and free unloads it. TagLib likewise
// comes in only for a file without an ID3v1 tag.
#include "SdlApi.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

using namespace vbmp3test;

namespace {

// The probe's "key=value" lines.
std::map<std::string, std::string> keyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (const auto eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    return values;
}

} // namespace

TEST(LazySdl, LibraryDoesNotNeedSdl) {
    const std::string dynamic = runCommand("readelf -d '" VBMP3_LIBRARY_FILE "' 2>/dev/null");
    // The section was read: the decoder it does need is listed.
    ASSERT_NE(dynamic.find("(NEEDED)"), std::string::npos) << dynamic;
    EXPECT_NE(dynamic.find("[libmpg123.so"), std::string::npos) << dynamic;
    EXPECT_EQ(dynamic.find("libSDL"), std::string::npos) << dynamic;
    EXPECT_EQ(dynamic.find("libtag"), std::string::npos) << dynamic; // the tag plug-in brings it
}

TEST(LazySdl, LoadResolvesEveryFunctionOrGivesNothing) {
    const auto sdl = vbmp3::SdlApi::load();
    ASSERT_TRUE(sdl);
    const void* functions[] = {
        reinterpret_cast<const void*>(sdl->setHint),
        reinterpret_cast<const void*>(sdl->initSubSystem),
        reinterpret_cast<const void*>(sdl->quitSubSystem),
        reinterpret_cast<const void*>(sdl->openAudioDevice),
        reinterpret_cast<const void*>(sdl->closeAudioDevice),
        reinterpret_cast<const void*>(sdl->pauseAudioDevice),
        reinterpret_cast<const void*>(sdl->queueAudio),
        reinterpret_cast<const void*>(sdl->getQueuedAudioSize),
        reinterpret_cast<const void*>(sdl->clearQueuedAudio),
        reinterpret_cast<const void*>(sdl->getAudioDeviceStatus)};
    for (const void* f : functions) EXPECT_NE(f, nullptr);

    EXPECT_FALSE(vbmp3::SdlApi::load("libvelmora-no-such-library.so.0"));
    EXPECT_FALSE(vbmp3::SdlApi::load(VBMP3_FAKE_SDL_DIR "/libSDL2-2.0.so.0"));
}

struct ProbeCase {
    const char* name;
    const char* driver;   // SDL_AUDIODRIVER
    bool fakeSdl;         // a library without SDL's functions comes first in the search path
    const char* afterPlay; // SDL mapped while playing
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

class LazySdlProbe : public ::testing::TestWithParam<ProbeCase> {};

// In a fresh process: nothing maps SDL before the first play; playback then
// runs in real time whether SDL plays, has no device or cannot be used; free
// unloads SDL again.
TEST_P(LazySdlProbe, SdlComesInAtTheFirstPlayOnly) {
    const ProbeCase& c = GetParam();
    std::string command = std::string("env SDL_AUDIODRIVER=") + c.driver;
    if (c.fakeSdl) command += " LD_LIBRARY_PATH='" VBMP3_FAKE_SDL_DIR "'";
    command += " '" VBMP3_LAZY_PROBE "' '" + fixture("id3v2_v1.mp3") + "' 2>/dev/null";
    const auto got = keyValues(runCommand(command));
    const std::map<std::string, std::string> expected = {
        {"start", "0"}, {"tag", "1"},   {"after-tag", "0"},         {"open", "1"},
        {"taglib-after-tag", "0"}, // the file has an ID3v1 tag: TagLib is not needed
        {"play", "1"},  {"state", "1"}, {"after-play", c.afterPlay}, {"second-passed", "1"},
        {"after-free", "0"}};
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(Sinks, LazySdlProbe,
                         ::testing::Values(ProbeCase{"SdlDummy", "dummy", false, "1"},
                                           ProbeCase{"NoDevice", "no-such-driver", false, "0"},
                                           ProbeCase{"UnusableSdl", "dummy", true, "0"}),
                         [](const auto& info) { return std::string(info.param.name); });
