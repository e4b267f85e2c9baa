#pragma once
// The limits every download of the fetcher keeps, and the one rule by which
// both of its libcurl clients (DownloadBytes for the built-in steps,
// CurlWebClient for the open catalogues) keep them, in RunTransfer (CurlSetup.h):
// - deadline: libcurl's own time-out, at the earliest of `deadline` from the
//   start, `until` and the caller's own end; a download that reaches it
//   counts as nothing received;
// - silence: no byte, of the headers or the body, for `silenceTimeout` ends
//   the read as a broken connection does; it is measured from the last byte,
//   in milliseconds, and checked at least about once a second;
// - broken body (the connection breaks or falls silent): what arrived is
//   handed back, marked as not whole; the built-in steps keep it (a read that
//   fails part-way ends the body there), the open catalogues take only whole bodies;
// - size: the body is counted as libcurl hands it over (gzip and the like
//   undone); past the cap, or announced past it, it counts as nothing received;
// - buffer: reserved once, for the announced length when the body comes as
//   announced (not encoded) within the cap, else for the cap: the body is never
//   copied while it grows, and pages of the cap never written take no memory.
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
    std::chrono::milliseconds silenceTimeout{30000};
    std::chrono::milliseconds deadline{60000};
    std::size_t maxBodyBytes = kMaxDownloadBytes;
    // The end of the whole lookup: no download starts at or past it (0, nothing
    // sent) and one under way ends there as past its deadline.
    std::optional<std::chrono::steady_clock::time_point> until;
    std::string proxy; // empty: the environment's http_proxy (and no_proxy), as libcurl reads them
};

} // namespace velfetch
