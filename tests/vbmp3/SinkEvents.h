#pragma once
// Lets a test wait for what the player's thread does to a fake device: each of
// its calls wakes the waiter to look again; the test's own calls wake nobody.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vbmp3test {

class SinkEvents {
public:
    void happened() {
        if (std::this_thread::get_id() == waiter_) return;
        {
            std::lock_guard lock(m_);
            ++count_;
        }
        cv_.notify_all();
    }

    // True once done() holds; false only after a ceiling far beyond any real wait.
    // done() runs without the lock, as it may take the player's.
    template <typename Done>
    bool waitFor(Done done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        std::unique_lock lock(m_);
        for (;;) {
            const std::uint64_t seen = count_;
            lock.unlock();
            if (done()) return true;
            lock.lock();
            if (!cv_.wait_until(lock, until, [&] { return count_ != seen; })) return false;
        }
    }

private:
    const std::thread::id waiter_ = std::this_thread::get_id();
    std::mutex m_;
    std::condition_variable cv_;
    std::uint64_t count_ = 0;
};

} // namespace vbmp3test
