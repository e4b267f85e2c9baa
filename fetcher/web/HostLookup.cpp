#include "HostLookup.h"

#include <netdb.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace velfetch {
namespace {

std::vector<sockaddr_storage> lookUp(const std::string& host, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    std::vector<sockaddr_storage> addresses;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        sockaddr_storage address{};
        std::memcpy(&address, a->ai_addr, std::min<std::size_t>(a->ai_addrlen, sizeof address));
        addresses.push_back(address);
    }
    freeaddrinfo(found);
    return addresses;
}

// What the look-up thread and the caller share; the last of them frees it.
struct Pending {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::vector<sockaddr_storage> addresses;
};

} // namespace

std::vector<sockaddr_storage> LookUpHost(const std::string& host, std::chrono::steady_clock::time_point end) {
    if (auto numeric = lookUp(host, AI_NUMERICHOST); !numeric.empty()) return numeric;
    try {
        auto pending = std::make_shared<Pending>();
        std::thread([pending, host] {
            std::vector<sockaddr_storage> addresses;
            try {
                addresses = lookUp(host, 0);
            } catch (const std::exception&) { // no memory: no addresses
            }
            const std::lock_guard hold(pending->lock);
            pending->addresses = std::move(addresses);
            pending->finished = true;
            pending->done.notify_all();
        }).detach();
        std::unique_lock hold(pending->lock);
        if (!pending->done.wait_until(hold, end, [&] { return pending->finished; })) return {};
        return std::move(pending->addresses);
    } catch (const std::exception&) { // no thread, or no memory: no addresses
        return {};
    }
}

} // namespace velfetch
