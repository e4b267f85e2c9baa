#pragma once
// Playback of one opened file on a thread of its own. States: stopped, playing,
// paused. Every public call is safe from any thread; the playback thread and
// the callers share one mutex.
#include "AudioSink.h"
#include "Decoder.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vbmp3 {

class Player {
public:
    enum State { Stopped = 0, Playing = 1, Paused = 2 };
    // Makes the audio output at the first play; the default tries SDL and
    // falls back to a silent real-time sink.
    using SinkFactory = std::function<std::unique_ptr<AudioSink>(int sampleRate)>;

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
    static std::unique_ptr<AudioSink> defaultSink(int sampleRate);
    void run();
    bool ensureSink();
    void feedLocked(std::unique_lock<std::mutex>& lock);
    std::int64_t positionFramesLocked();

    SinkFactory factory_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::unique_ptr<Decoder> decoder_;
    std::unique_ptr<AudioSink> sink_;
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
