#pragma once
// One HTTPS GET of the open-catalogue step, behind an interface so that the
// replies of the services can be played back in tests.
#include "Clock.h"

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

namespace velfetch::opencatalog {

struct WebReply {
    long status = 0;       // HTTP status of the last response; 0: none came
    bool complete = false; // the body arrived whole, within the limits
    std::vector<std::uint8_t> body;
    // The server's Retry-After (delay seconds or HTTP date), as a wait from
    // the reply's arrival; 0 when it sent none.
    std::chrono::seconds retryAfter{0};

    bool ok() const { return complete && status == 200; }
};

class WebClient {
public:
    virtual ~WebClient() = default;
    // Follows redirects; gives up at `end` whatever the server does. A body
    // longer than `maxBytes` (or the fetcher's own cap) is not complete.
    virtual WebReply Get(const std::string& url, Clock::time_point end, std::size_t maxBytes) = 0;
    // The same, ended early (as no answer) once `stop` is requested, by a
    // client that can; others finish the request.
    virtual WebReply GetUnlessStopped(std::stop_token stop, const std::string& url, Clock::time_point end,
                                      std::size_t maxBytes) {
        if (stop.stop_requested()) return {};
        return Get(url, end, maxBytes);
    }
};

} // namespace velfetch::opencatalog
