#include "Player.h"

#include "SdlSink.h"
#include "SilentSink.h"
#include "TrackTitle.h"
#include "Volume.h"

#include <algorithm>
#include <chrono>

namespace vbmp3 {
namespace {

constexpr std::size_t kChunkFrames = 4096;
// Audio kept queued ahead of the listener: small enough that pause, seek and
// volume react at once, large enough to ride out scheduling hiccups.
constexpr double kAheadSeconds = 0.25;
// The shortest sleep while the sink plays: sinks take their audio in blocks.
constexpr auto kPoll = std::chrono::milliseconds(10);
constexpr auto kPlayOut = std::chrono::milliseconds(300);

} // namespace

std::unique_ptr<AudioSink> Player::defaultSink() { return SdlSink::create(); }

Player::Player(SinkFactory factory)
    : factory_(factory ? std::move(factory) : SinkFactory(&Player::defaultSink)),
      buffer_(kChunkFrames * 2) {}

Player::~Player() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        state_ = Stopped;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    // The sinks go before the decoder; an SDL sink shuts SDL down and unloads it.
    sink_.reset();
    lost_.reset();
    decoder_.reset();
}

bool Player::open(const char* path, int& lengthSeconds, StreamInfo& info) {
    stop();
    // Outside the lock: scanning and reading the tag may take a moment.
    auto decoder = Decoder::open(path);
    std::string title = decoder ? trackTitle(path) : std::string();
    std::lock_guard lock(mutex_);
    if (!decoder) return false;
    state_ = Stopped;
    decoder_ = std::move(decoder);
    title_ = std::move(title);
    lengthSeconds = decoder_->lengthSeconds();
    info = decoder_->info();
    return true;
}

void Player::useSilenceLocked() {
    sink_ = std::make_unique<SilentSink>();
    silent_ = true;
}

// Every play gets a working device when one exists: a lost one is opened
// again, and a player that found none asks once more.
bool Player::ensureSinkLocked() {
    const int rate = decoder_->sampleRate();
    if (sink_ && !silent_ && !sink_->alive()) { // died while stopped or paused
        lost_ = std::move(sink_);
        useSilenceLocked();
    }
    if (!reopening_) {
        if (lost_ && lost_->reopen()) {
            sink_ = std::move(lost_);
            silent_ = false;
        } else if (!lost_ && (!sink_ || silent_)) {
            if (auto device = factory_(); device && device->configure(rate, title_)) {
                sink_ = std::move(device);
                silent_ = false;
            }
        }
    }
    if (sink_ && !silent_ && !sink_->configure(rate, title_)) {
        lost_ = std::move(sink_); // it played before: the playback thread tries it again
        retryAt_ = Clock::now() + kRetry;
    }
    if (!sink_) useSilenceLocked();
    return sink_->configure(rate, title_);
}

// Frames from the given one on: what the sink holds goes, the decoder moves there.
void Player::playFromLocked(std::int64_t frame) {
    sink_->clear();
    const std::int64_t landed = decoder_->seekSample(frame);
    baseFrame_ = landed >= 0 ? landed : frame;
    written_ = 0;
    drained_ = landed < 0; // a failed seek ends the track rather than replaying old audio
}

bool Player::play() {
    {
        std::lock_guard lock(mutex_);
        if (!decoder_) return false;
        if (!ensureSinkLocked()) return false;
        playFromLocked(0);
        state_ = Playing;
        sink_->setPaused(false);
        if (!thread_.joinable()) thread_ = std::thread(&Player::run, this);
    }
    wake_.notify_all();
    return true;
}

void Player::pause() {
    std::lock_guard lock(mutex_);
    if (state_ != Playing) return;
    state_ = Paused;
    sink_->setPaused(true);
}

void Player::restart() {
    {
        std::lock_guard lock(mutex_);
        if (state_ != Paused) return;
        state_ = Playing;
        sink_->setPaused(false);
    }
    wake_.notify_all();
}

void Player::stop() {
    std::lock_guard lock(mutex_);
    state_ = Stopped;
    if (sink_) {
        sink_->setPaused(true);
        sink_->clear();
    }
}

void Player::seek(int seconds) {
    {
        std::lock_guard lock(mutex_);
        if (state_ == Stopped || !decoder_) return;
        const std::int64_t last = std::max<std::int64_t>(0, decoder_->info().frames - 1) *
                                  decoder_->info().first.samples;
        playFromLocked(
            std::clamp<std::int64_t>(std::int64_t{seconds} * decoder_->sampleRate(), 0, last));
    }
    wake_.notify_all();
}

std::int64_t Player::positionFramesLocked() {
    const auto queued = static_cast<std::int64_t>(sink_ ? sink_->queuedFrames() : 0);
    return baseFrame_ + std::max<std::int64_t>(0, written_ - queued);
}

Player::State Player::state(int& positionSeconds) {
    std::lock_guard lock(mutex_);
    positionSeconds = 0;
    if (state_ != Stopped && decoder_)
        positionSeconds = static_cast<int>(positionFramesLocked() / decoder_->sampleRate());
    return state_;
}

void Player::setVolume(int left, int right) {
    left_ = std::clamp(left, 0, Volume::kMax);
    right_ = std::clamp(right, 0, Volume::kMax);
}

void Player::volume(int& left, int& right) const {
    left = left_;
    right = right_;
}

void Player::run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (state_ != Playing && pauseAfterEnd_) {
            pauseAfterEnd_ = false;
            if (!wake_.wait_for(lock, kPlayOut, [this] { return quit_ || state_ != Stopped; }))
                sink_->setPaused(true);
            continue;
        }
        if (state_ != Playing) {
            wake_.wait(lock);
            continue;
        }
        feedLocked(lock);
    }
}

// The device died while playing (its sound server went away, it was
// unplugged): playback goes on silently in real time from what was heard
// last, while the playback thread tries to open a device again.
void Player::loseDeviceLocked() {
    const std::int64_t heard = positionFramesLocked();
    lost_ = std::move(sink_);
    useSilenceLocked();
    sink_->configure(decoder_->sampleRate(), title_);
    sink_->setPaused(false);
    playFromLocked(heard);
    retryAt_ = Clock::now(); // the server may be back already
}

// Opening a device may take a while (a sound server starting up): it is done
// without the lock, so that the status poll and the controls never wait.
void Player::reopenLost(std::unique_lock<std::mutex>& lock) {
    auto device = std::move(lost_);
    reopening_ = true;
    lock.unlock();
    const bool opened = device->reopen();
    lock.lock();
    reopening_ = false;
    retryAt_ = Clock::now() + kRetry;
    if (!opened || !decoder_ || !device->configure(decoder_->sampleRate(), title_)) {
        lost_ = std::move(device);
        return;
    }
    // The new device takes over where the silent stand-in has got to.
    const std::int64_t heard = positionFramesLocked();
    sink_ = std::move(device);
    silent_ = false;
    sink_->setPaused(state_ != Playing);
    if (state_ != Stopped) playFromLocked(heard);
}

// Sleeps while the sink plays the given frames, so that the thread wakes about
// once per chunk; a call, a device to reopen or the end of the player wake it sooner.
void Player::sleepLocked(std::unique_lock<std::mutex>& lock, std::size_t frames) {
    const std::chrono::duration<double> playing(static_cast<double>(frames) / decoder_->sampleRate());
    auto until = Clock::now() + std::max<Clock::duration>(
                                    kPoll, std::chrono::duration_cast<Clock::duration>(playing));
    if (lost_) until = std::min(until, retryAt_);
    wake_.wait_until(lock, until);
}

// One step of playback: top up the sink, or notice the end of the track.
void Player::feedLocked(std::unique_lock<std::mutex>& lock) {
    if (!silent_ && !sink_->alive()) loseDeviceLocked();
    if (lost_ && Clock::now() >= retryAt_) {
        reopenLost(lock);
        return; // the lock was let go: look at the state afresh
    }
    const std::size_t queued = sink_->queuedFrames();
    if (drained_) {
        if (queued == 0) {
            // The device still holds the last moments of sound: it is paused
            // a little later, once they have played out.
            state_ = Stopped;
            pauseAfterEnd_ = true;
            return;
        }
        sleepLocked(lock, queued); // until the last of it has played
        return;
    }
    const auto ahead = static_cast<std::size_t>(kAheadSeconds * decoder_->sampleRate());
    if (queued >= ahead) {
        sleepLocked(lock, queued - ahead); // until the next chunk is due
        return;
    }
    // Decoded audio goes straight from the decoder's buffer into ours, scaled
    // on the way: one pass over the samples.
    const double left = Volume::gain(left_), right = Volume::gain(right_);
    std::size_t got = 0;
    while (got < kChunkFrames) {
        const auto chunk = decoder_->take(kChunkFrames - got);
        if (chunk.empty()) {
            drained_ = true;
            break;
        }
        Volume::apply(chunk.data(), buffer_.data() + 2 * got, chunk.size() / 2, left, right);
        got += chunk.size() / 2;
    }
    if (got == 0) return;
    sink_->write(buffer_.data(), got);
    written_ += static_cast<std::int64_t>(got);
}

} // namespace vbmp3
