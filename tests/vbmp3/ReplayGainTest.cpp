// ReplayGain measured at the player's output: the same audio tagged with a
// track gain comes out that much quieter or louder, a peak caps a gain that
// would clip, and VELMORA_REPLAYGAIN=off plays every file as it is.
#include "Player.h"
#include "SinkEvents.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

using namespace vbmp3test;

namespace {

// A device that takes everything at once: the whole track in a moment.
class Recorder final : public vbmp3::AudioSink {
public:
    Recorder(std::vector<std::int16_t>& out, SinkEvents& events) : out_(out), events_(events) {}
    bool configure(int, const std::string&) override { return true; }
    void write(const std::int16_t* f, std::size_t n) override { out_.insert(out_.end(), f, f + 2 * n); }
    // Asked once more after the last write: the player then finds the track played out.
    std::size_t queuedFrames() override {
        events_.happened();
        return 0;
    }
    void setPaused(bool) override {}
    void clear() override {}

private:
    std::vector<std::int16_t>& out_;
    SinkEvents& events_;
};

struct Output {
    std::vector<std::int16_t> samples;
    double rms = 0;
    int peak = 0;
};

// The track as the player plays it at full volume.
Output play(const char* name, bool gainOff) {
    if (gainOff) ::setenv("VELMORA_REPLAYGAIN", "off", 1);
    Output o;
    SinkEvents events;
    {
        vbmp3::Player player([&] { return std::make_unique<Recorder>(o.samples, events); });
        int length = 0, pos = 0;
        vbmp3::StreamInfo info;
        EXPECT_TRUE(player.open(fixture(name).c_str(), length, info));
        ::unsetenv("VELMORA_REPLAYGAIN");
        EXPECT_TRUE(player.play());
        EXPECT_TRUE(events.waitFor([&] { return player.state(pos) == vbmp3::Player::Stopped; }));
    }
    double sum = 0;
    for (const std::int16_t s : o.samples) {
        sum += static_cast<double>(s) * s;
        o.peak = std::max(o.peak, std::abs(int{s}));
    }
    o.rms = o.samples.empty() ? 0 : std::sqrt(sum / o.samples.size());
    return o;
}

struct Case {
    const char* file;
    bool gainOff;
    double level; // output level against the untagged file's; 1: the very same samples
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.file << (c.gainOff ? " off" : ""); }

class ReplayGain : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(ReplayGain, ScalesTheOutputByTheTrackGain) {
    const Case& c = GetParam();
    static const Output plain = play("cbr.mp3", false); // the same audio without gain data
    ASSERT_GT(plain.rms, 1000);
    const Output got = play(c.file, c.gainOff);
    EXPECT_NEAR(got.rms / plain.rms, c.level, 0.03 * c.level);
    EXPECT_LT(got.peak, 32767); // never clipped
    if (c.level == 1.0) {
        EXPECT_TRUE(got.samples == plain.samples);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReplayGain,
    ::testing::Values(Case{"rg_minus6.mp3", false, 0.501},  // ID3v2 TXXX, -6 dB: half the level
                      Case{"rg_minus6.mp3", true, 1.0},     // switched off
                      Case{"rg_ape.mp3", false, 0.501},     // APEv2 only, as mp3gain writes it
                      Case{"rg_peak.mp3", false, 1.25},     // +12 dB capped by a peak of 0.8
                      Case{"rg_crowded.mp3", false, 1.0},   // -6 dB among 4096 more TXXX frames: left out
                      Case{"tag_v24_utf8.mp3", false, 1.0}), // an ID3v2 tag without gain data
    [](const auto& info) {
        std::string n = info.param.file;
        return n.substr(0, n.find('.')) + (info.param.gainOff ? "_Off" : "");
    });
