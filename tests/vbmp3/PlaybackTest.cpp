// Playback through the C interface in real time, on SDL's dummy driver and on
// the silent sink that takes over when no audio device opens; the volume curve.
#include "SilentSink.h"
#include "TestFiles.h"
#include "Volume.h"
#include "vbmp3_abi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <utility>

using namespace vbmp3test;
using namespace std::chrono_literals;

namespace {

int state(int* position = nullptr) {
    std::int32_t pos = -1;
    const int s = vbmp3_getState(&pos);
    if (position) *position = pos;
    return s;
}

// The state and the position in seconds, to compare with a pair.
std::pair<int, int> statePos() {
    int pos = -1;
    const int s = state(&pos);
    return {s, pos};
}

// Polls the player until `done(state, position)` holds; false only after a
// ceiling far beyond any real wait, so that a slow machine is slower, not red.
template <typename Done>
bool waitFor(Done done, std::chrono::milliseconds ceiling = 60s) {
    const auto until = std::chrono::steady_clock::now() + ceiling;
    do {
        int pos = -1;
        const int s = state(&pos);
        if (done(s, pos)) return true;
        std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

bool waitForState(int wanted) {
    return waitFor([wanted](int s, int) { return s == wanted; });
}

// Waits until a second of audio has played out on a silent sink of its own, the
// clock the library plays by when it has no device: proof that a second passed.
void waitOneSecondOfAudio() {
    vbmp3::SilentSink clock;
    clock.configure(44100, {});
    clock.setPaused(false);
    const std::int16_t frame[2] = {};
    clock.write(frame, 44100);
    const auto until = std::chrono::steady_clock::now() + 60s;
    while (clock.queuedFrames() > 0 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
}

int openTrack(const char* name) {
    std::array<std::uint8_t, 272> info{};
    if (vbmp3_open(fixture(name).c_str(), info.data()) == 0) return -1;
    return static_cast<int>(info[268] | info[269] << 8);
}

// The audio driver SDL is told to use: "dummy" plays into nothing in real
// time; an unknown name makes the device fail to open, as on a machine
// without sound, so the library's own silent sink takes over.
class Playback : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        const char* old = std::getenv("SDL_AUDIODRIVER");
        saved_ = old ? old : "";
        hadOld_ = old != nullptr;
        ::setenv("SDL_AUDIODRIVER", GetParam(), 1);
        ASSERT_EQ(vbmp3_init(), 1);
    }
    void TearDown() override {
        vbmp3_stop();
        vbmp3_free();
        if (hadOld_) ::setenv("SDL_AUDIODRIVER", saved_.c_str(), 1);
        else ::unsetenv("SDL_AUDIODRIVER");
    }

private:
    std::string saved_;
    bool hadOld_ = false;
};

} // namespace

TEST_P(Playback, PlayPauseRestartSeekAndNaturalEnd) {
    ASSERT_EQ(openTrack("cbr.mp3"), 3);
    EXPECT_EQ(state(), 0);
    // No device yet: it opens at the first play.
    ASSERT_EQ(vbmp3_play(), 1);
    EXPECT_EQ(statePos(), std::pair(1, 0));

    // The position moves on by itself, a second at a time.
    ASSERT_TRUE(waitFor([](int s, int p) { return s != 1 || p >= 1; }));
    vbmp3_pause(); // just after the first second
    int paused = -1;
    EXPECT_EQ(state(&paused), 2);
    EXPECT_GE(paused, 1);
    waitOneSecondOfAudio(); // time passes, the position does not
    EXPECT_EQ(statePos(), std::pair(2, paused));

    vbmp3_restart();
    EXPECT_EQ(statePos(), std::pair(1, paused)); // resumed where paused, not a second on

    vbmp3_seek(0);
    EXPECT_EQ(statePos(), std::pair(1, 0));
    vbmp3_seek(2);
    EXPECT_EQ(statePos(), std::pair(1, 2));

    // About a second of audio is left; then the state drops to 0 by itself.
    EXPECT_TRUE(waitForState(0));
    EXPECT_EQ(statePos(), std::pair(0, 0));
}

TEST_P(Playback, SeekWhilePausedStaysPausedAndStopWorksInEveryState) {
    ASSERT_EQ(openTrack("vbr_noxing.mp3"), 8);
    vbmp3_stop(); // stopped already
    EXPECT_EQ(state(), 0);
    vbmp3_play();
    vbmp3_pause();
    vbmp3_seek(6);
    EXPECT_EQ(statePos(), std::pair(2, 6));
    vbmp3_stop(); // while paused
    EXPECT_EQ(state(), 0);
    vbmp3_seek(3); // ignored when stopped
    EXPECT_EQ(state(), 0);
    vbmp3_restart(); // nothing to resume
    EXPECT_EQ(state(), 0);

    vbmp3_play(); // plays again from the start
    EXPECT_EQ(statePos(), std::pair(1, 0));
    vbmp3_seek(100); // past the end: lands on the last frame and ends soon
    EXPECT_TRUE(waitForState(0));
}

TEST_P(Playback, FreeStopsEverythingAndInitStartsAfresh) {
    ASSERT_EQ(openTrack("mpeg2_mono.mp3"), 4);
    vbmp3_play();
    // Freed while audibly playing: once the position has moved.
    ASSERT_TRUE(waitFor([](int s, int p) { return s != 1 || p >= 1; }));
    vbmp3_free();
    EXPECT_EQ(state(), 0);
    ASSERT_EQ(vbmp3_init(), 1);
    ASSERT_EQ(openTrack("mpeg2_mono.mp3"), 4);
    vbmp3_play();
    EXPECT_EQ(state(), 1);
    ASSERT_EQ(openTrack("cbr.mp3"), 3); // opening another file stops the first
    EXPECT_EQ(state(), 0);
}

TEST_P(Playback, CallsFromSeveralThreadsDuringPlayback) {
    ASSERT_EQ(openTrack("vbr_xing.mp3"), 8);
    vbmp3_play();
    std::atomic<bool> done{false};
    std::thread other([&] {
        int i = 0;
        while (!done) {
            int pos;
            vbmp3_getState(&pos);
            vbmp3_setVolume(i % 101, 100 - i % 101);
            ++i;
            std::this_thread::sleep_for(1ms);
        }
    });
    for (int i = 0; i < 40; ++i) {
        vbmp3_seek(i % 7);
        if (i % 5 == 0) vbmp3_pause();
        if (i % 5 == 2) vbmp3_restart();
        std::this_thread::sleep_for(10ms);
    }
    vbmp3_restart();
    done = true;
    other.join();
    EXPECT_EQ(state(), 1);
}

INSTANTIATE_TEST_SUITE_P(Sinks, Playback, ::testing::Values("dummy", "no-such-driver"),
                         [](const auto& info) {
                             return std::string(info.param) == "dummy" ? "SdlDummy" : "NoDevice";
                         });

TEST(VolumeCurve, EvenLoudnessStepsFromSilenceToUnity) {
    using vbmp3::Volume;
    EXPECT_EQ(Volume::gain(0), 0.0);
    EXPECT_DOUBLE_EQ(Volume::gain(100), 1.0);
    EXPECT_EQ(Volume::gain(-5), 0.0);
    EXPECT_DOUBLE_EQ(Volume::gain(250), 1.0);
    // Equal steps of the bar are equal steps in decibels, not in amplitude.
    const double step = 20 * std::log10(Volume::gain(51) / Volume::gain(50));
    for (int v : {1, 10, 25, 75, 99})
        EXPECT_NEAR(20 * std::log10(Volume::gain(v + 1) / Volume::gain(v)), step, 1e-9) << v;
    EXPECT_NEAR(20 * std::log10(Volume::gain(1)), -Volume::kRangeDb, 1e-9);
    // Half way on the bar is far quieter than half amplitude.
    EXPECT_LT(Volume::gain(50), 0.1);
}

TEST(VolumeCurve, ScalesEachChannelOnItsOwn) {
    using vbmp3::Volume;
    std::int16_t frames[] = {32767, 32767, -32768, -32768, 1000, -1000};
    Volume::apply(frames, frames, 3, 1.0, 0.5);
    EXPECT_EQ(frames[0], 32767);
    EXPECT_EQ(frames[1], 16383);
    EXPECT_EQ(frames[2], -32768);
    EXPECT_EQ(frames[3], -16384);
    EXPECT_EQ(frames[4], 1000);
    EXPECT_EQ(frames[5], -500);
    Volume::apply(frames, frames, 3, 0.0, 0.0);
    for (auto s : frames) EXPECT_EQ(s, 0);
}
