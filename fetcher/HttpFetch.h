#pragma once
// The fetcher's only network primitive: one plain GET, the body as bytes.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velfetch {

struct HttpSettings {
    std::chrono::milliseconds connectTimeout{15000};
    std::chrono::milliseconds silenceTimeout{30000}; // no byte for this long ends the read
    // A hostile or broken server must neither hold the fetcher forever nor fill
    // its memory: past either limit the download counts as nothing received.
    std::chrono::milliseconds deadline{60000};
    std::size_t maxBodyBytes = std::size_t(32) << 20;
    // The end of the whole lookup: no download starts at or past it (0, nothing
    // sent) and one under way ends there as past its deadline.
    std::optional<std::chrono::steady_clock::time_point> until;
    std::string proxy; // empty: the environment's http_proxy (and no_proxy), as libcurl reads them
};

// Downloads `url` (agent "velbot", redirects followed, never from a cache, no
// status check: an error page is data) and returns the number of body bytes.
// - body received: `bytes` holds exactly the body; a read that fails part-way
//   or falls silent keeps what arrived before;
// - a response with an empty body, or past the size cap or the deadline:
//   `bytes` is emptied and 0 returned;
// - empty URL (no network access at all) or no response: 0, `bytes` untouched.
std::int32_t DownloadBytes(const std::string& url, std::vector<std::uint8_t>& bytes,
                           const HttpSettings& settings = {});

} // namespace velfetch
