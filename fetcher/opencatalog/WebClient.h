#pragma once
// One HTTPS GET of the open-catalogue step, behind an interface so that the
// replies of the services can be played back in tests.
#include "Clock.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velfetch::opencatalog {

struct WebReply {
    long status = 0;       // HTTP status of the last response; 0: none came
    bool complete = false; // the body arrived whole, within the limits
    std::vector<std::uint8_t> body;

    bool ok() const { return complete && status == 200; }
};

class WebClient {
public:
    virtual ~WebClient() = default;
    // Follows redirects; gives up at `end` whatever the server does. A body
    // longer than `maxBytes` (or the fetcher's own cap) is not complete.
    virtual WebReply Get(const std::string& url, Clock::time_point end, std::size_t maxBytes) = 0;
};

} // namespace velfetch::opencatalog
