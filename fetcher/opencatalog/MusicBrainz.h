#pragma once
// Client of the MusicBrainz web service under its rules: at most one request
// a second, and on "503 Service Unavailable" a pause and a retry, three at most.
#include "Clock.h"
#include "MusicBrainzReplies.h"
#include "TrackWords.h"
#include "WebClient.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace velfetch::opencatalog {

class MusicBrainz {
public:
    static constexpr int kMaxRetries = 3;

    // Requests wait `gap` after the end of the one before; none starts at or past `end`.
    MusicBrainz(WebClient& web, Clock& clock, Clock::time_point end, std::chrono::milliseconds gap);

    // The best releases of the recordings the words accept (ChooseReleases,
    // at most `limit`); nothing when the service did not answer usefully.
    std::optional<std::vector<ChosenRelease>> FindReleases(const TrackWords& words, std::size_t limit);
    // Nothing when the lookup failed.
    std::optional<ReleaseInfo> LookupRelease(const std::string& releaseId);

    // The service answered 503 more often than it may be asked again, did not
    // answer at all, or time ran out: nothing more is asked of it.
    bool gaveUp() const { return gaveUp_; }

    static std::string SearchUrl(const TrackWords& words);
    static std::string ReleaseUrl(const std::string& releaseId);
    // The Cover Art Archive's front cover of a release, 250 px.
    static std::string FrontCoverUrl(const std::string& releaseId);
    // The front cover the archive shows for a release group (one of its releases').
    static std::string GroupFrontCoverUrl(const std::string& groupId);

private:
    std::optional<std::vector<std::uint8_t>> get(const std::string& url);

    WebClient& web_;
    Clock& clock_;
    Clock::time_point end_;
    std::chrono::milliseconds gap_;
    std::optional<Clock::time_point> lastEnd_;
    bool gaveUp_ = false;
};

} // namespace velfetch::opencatalog
