#pragma once
// Playback of one opened file on a thread of its own. States: stopped, playing,
// paused. Every public call is safe from any thread; the playback thread and
// the callers share one mutex.
#include "AudioSink.h"
#include "Decoder.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vbmp3 {

class Player {
public:
    enum State { Stopped = 0, Playing = 1, Paused = 2 };
    // Makes the device output at a play (configured by the player); nullptr
    // when there is none. The default tries SDL. Without a device the player
    // plays on a silent real-time sink.
    using SinkFactory = std::function<std::unique_ptr<AudioSink>()>;
    // How long a lost device waits between attempts to open one again.
    static constexpr auto kRetry = std::chrono::seconds(1);

    explicit Player(SinkFactory factory = {});
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Stops playback and takes the new file; false (nothing changes but the
    // stop) when it cannot be opened.
    bool open(const char* path, int& lengthSeconds, StreamInfo& info);
    bool play();
    void pause();
    void restart();
    void stop();
    void seek(int seconds);
    State state(int& positionSeconds);

    void setVolume(int left, int right);
    void volume(int& left, int& right) const;

private:
    using Clock = std::chrono::steady_clock;
    static std::unique_ptr<AudioSink> defaultSink();
    void run();
    bool ensureSinkLocked();
    void useSilenceLocked();
    void loseDeviceLocked();
    void reopenLost(std::unique_lock<std::mutex>& lock);
    void feedLocked(std::unique_lock<std::mutex>& lock);
    void sleepLocked(std::unique_lock<std::mutex>& lock, std::size_t frames);
    void playFromLocked(std::int64_t frame);
    std::int64_t positionFramesLocked();

    SinkFactory factory_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::unique_ptr<Decoder> decoder_;
    std::string title_;             // the stream's name in the sound server's mixer
    std::unique_ptr<AudioSink> sink_;
    bool silent_ = false;           // sink_ stands in for a device that did not open
    std::unique_ptr<AudioSink> lost_; // a device output that died, to be reopened
    bool reopening_ = false;        // the playback thread is reopening it, without the lock
    Clock::time_point retryAt_;
    State state_ = Stopped;
    bool quit_ = false;
    bool drained_ = false;          // decoder has no more audio: wait for the sink to empty
    bool pauseAfterEnd_ = false;    // natural end: pause the sink once its last sound is out
    std::int64_t baseFrame_ = 0;    // stream position of the first frame written since the last seek
    std::int64_t written_ = 0;      // frames written to the sink since then
    std::vector<std::int16_t> buffer_;
    std::atomic<int> left_{100}, right_{100};
    std::thread thread_;            // started at the first play
};

} // namespace vbmp3
