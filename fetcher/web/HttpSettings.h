#pragma once
// The limits every download of the fetcher keeps, whichever client makes it.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace velfetch {

// The most any download may bring (after gzip and the like are undone); the
// pictures the user has are held to it too.
inline constexpr std::size_t kMaxDownloadBytes = std::size_t(32) << 20;

struct HttpSettings {
    std::chrono::milliseconds connectTimeout{15000};
    std::chrono::milliseconds silenceTimeout{30000}; // no byte for this long ends the read
    // A hostile or broken server must neither hold the fetcher forever nor fill
    // its memory: past either limit the download counts as nothing received.
    std::chrono::milliseconds deadline{60000};
    std::size_t maxBodyBytes = kMaxDownloadBytes;
    // The end of the whole lookup: no download starts at or past it (0, nothing
    // sent) and one under way ends there as past its deadline.
    std::optional<std::chrono::steady_clock::time_point> until;
    std::string proxy; // empty: the environment's http_proxy (and no_proxy), as libcurl reads them
};

} // namespace velfetch
