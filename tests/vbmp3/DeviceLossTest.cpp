// A device output that dies under the player (its sound server restarted, it
// was unplugged), injected through the sink interface: playback goes on
// silently from where it was heard, the device is opened again once a second
// without stopping the track, and every PLAY asks for a working device.
#include "Player.h"
#include "SilentSink.h"
#include "SinkEvents.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>

using namespace vbmp3test;
using vbmp3::Player;

namespace {

// What the test sees of its one device, and what it makes happen to it.
struct Device {
    std::atomic<bool> present{true};   // whether opening one succeeds
    std::atomic<bool> dead{false};
    std::atomic<int> made{0}, released{0}, reopened{0};
    std::atomic<std::size_t> written{0};
    std::mutex m;
    std::string name; // the stream's name at the last configure
    SinkEvents events;
};

// Plays into nothing in real time, as SDL's dummy driver does.
class FakeDevice final : public vbmp3::AudioSink {
public:
    explicit FakeDevice(Device& d) : d_(d) { clock_.configure(44100, {}); }
    ~FakeDevice() override { ++d_.released; }
    bool configure(int rate, const std::string& name) override {
        std::lock_guard lock(d_.m);
        d_.name = name;
        const bool ok = clock_.configure(rate, name) && d_.present;
        d_.events.happened();
        return ok;
    }
    void write(const std::int16_t* f, std::size_t n) override {
        clock_.write(f, n);
        d_.written += n;
        d_.events.happened();
    }
    std::size_t queuedFrames() override {
        d_.events.happened();
        return clock_.queuedFrames();
    }
    void setPaused(bool p) override { clock_.setPaused(p); }
    void clear() override { clock_.clear(); }
    bool alive() override { return !d_.dead; }
    bool reopen() override {
        ++d_.reopened;
        const bool back = d_.present;
        if (back) {
            clock_.clear();
            d_.dead = false;
        }
        d_.events.happened(); // last: the test may change the device at once
        return back;
    }

private:
    Device& d_;
    vbmp3::SilentSink clock_;
};

int position(Player& p, Player::State* state = nullptr) {
    int pos = -1;
    const auto s = p.state(pos);
    if (state) *state = s;
    return pos;
}

struct Fixture {
    Device device;
    Player player{[this]() -> std::unique_ptr<vbmp3::AudioSink> {
        ++device.made;
        return std::make_unique<FakeDevice>(device);
    }};
    bool open(const char* name) {
        int length = 0;
        vbmp3::StreamInfo info;
        return player.open(fixture(name).c_str(), length, info);
    }
    std::string name() {
        std::lock_guard lock(device.m);
        return device.name;
    }
};

} // namespace

TEST(DeviceLoss, PlaybackGoesOnSilentlyAndTheDeviceComesBackWhereItGotTo) {
    Fixture f;
    ASSERT_TRUE(f.open("vbr_xing.mp3")); // 8 s, no tag: the stream goes by the file name
    ASSERT_TRUE(f.player.play());
    EXPECT_EQ(f.name(), "vbr_xing.mp3");
    ASSERT_TRUE(f.device.events.waitFor([&] { return position(f.player) >= 1; }));

    // The server goes away and stays away for the first attempt.
    f.device.present = false;
    f.device.dead = true;
    const int lostAt = position(f.player);
    ASSERT_TRUE(f.device.events.waitFor([&] { return f.device.reopened >= 1; })); // at once
    const std::size_t before = f.device.written;
    f.device.present = true;
    // The next attempt, a second later, brings the device back: audio flows
    // into it again, from a second or more on, never from the start.
    ASSERT_TRUE(f.device.events.waitFor([&] { return !f.device.dead && f.device.written > before; }));
    EXPECT_EQ(f.device.reopened, 2);
    EXPECT_EQ(f.device.made, 1); // the same device object, never a second one
    Player::State state;
    EXPECT_GE(position(f.player, &state), lostAt + 1);
    EXPECT_EQ(state, Player::Playing);

    // Lost while stopped: PLAY opens it again at once, no second later.
    f.player.stop();
    f.device.dead = true;
    ASSERT_TRUE(f.open("id3v2_v1.mp3"));
    ASSERT_TRUE(f.player.play());
    EXPECT_EQ(f.device.reopened, 3);
    EXPECT_FALSE(f.device.dead);
    EXPECT_EQ(f.name(), "Id3 Title"); // the new track's title names its stream
}

TEST(DeviceLoss, EveryPlayAsksForADeviceWhenNoneOpened) {
    Fixture f;
    f.device.present = false;
    ASSERT_TRUE(f.open("cbr.mp3"));
    ASSERT_TRUE(f.player.play()); // silently
    Player::State state;
    position(f.player, &state);
    EXPECT_EQ(state, Player::Playing);
    // The device that would not open is let go at once: nothing can reach it.
    EXPECT_EQ(f.device.released, 1);
    EXPECT_EQ(f.device.written, 0u);
    f.player.stop();
    f.device.present = true;
    ASSERT_TRUE(f.player.play());
    EXPECT_EQ(f.device.made, 2);
    ASSERT_TRUE(f.device.events.waitFor([&] { return f.device.written > 0; }));
}
