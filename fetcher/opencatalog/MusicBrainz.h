#pragma once
// Client of the MusicBrainz web service under its rules: at most one request
// a second, and on "503 Service Unavailable" a pause and a retry, three at
// most, never sooner than its Retry-After asks.
#include "Clock.h"
#include "MusicBrainzReplies.h"
#include "RequestPace.h"
#include "TrackWords.h"
#include "WebClient.h"

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace velfetch::opencatalog {

class MusicBrainz {
public:
    static constexpr int kMaxRetries = 3;

    // Requests wait `gap` after the end of the one before; none starts at or
    // past `end`. `pace` (one request a `gap`) counts the requests of every
    // fetcher of the session; without it, those of this object only.
    MusicBrainz(WebClient& web, Clock& clock, Clock::time_point end, std::chrono::milliseconds gap,
                RequestPace* pace = nullptr);

    // The best releases of the recordings the words accept (ChooseReleases,
    // at most `limit`); nothing when the service did not answer usefully.
    std::optional<std::vector<ChosenRelease>> FindReleases(const TrackWords& words, std::size_t limit);
    // Nothing when the lookup failed, or `stop` was requested first.
    std::optional<ReleaseInfo> LookupRelease(const std::string& releaseId, std::stop_token stop = {});

    // The service answered 503 more often than it may be asked again, asked
    // for a pause longer than the time left, did not answer at all, or time
    // ran out: nothing more is asked of it.
    bool gaveUp() const { return gaveUp_; }

    static std::string SearchUrl(const TrackWords& words);
    static std::string ReleaseUrl(const std::string& releaseId);
    // The Cover Art Archive's front cover of a release, 250 px.
    static std::string FrontCoverUrl(const std::string& releaseId);
    // The front cover the archive shows for a release group (one of its releases').
    static std::string GroupFrontCoverUrl(const std::string& groupId);

private:
    std::optional<std::vector<std::uint8_t>> get(const std::string& url, std::stop_token stop);

    WebClient& web_;
    Clock& clock_;
    Clock::time_point end_;
    std::chrono::milliseconds gap_;
    std::unique_ptr<RequestPace> ownPace_;
    RequestPace& pace_;
    std::optional<Clock::time_point> lastEnd_;
    std::optional<Clock::time_point> retryAt_; // the service's Retry-After
    bool gaveUp_ = false;
};

} // namespace velfetch::opencatalog
