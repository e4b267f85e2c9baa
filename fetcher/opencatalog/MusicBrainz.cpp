#include "MusicBrainz.h"

#include "JsonField.h"
#include "LuceneQuery.h"
#include "PercentEncode.h"
#include "ServiceHosts.h"

#include <algorithm>

namespace velfetch::opencatalog {
namespace {

std::string base() { return std::string("https://") + vel::kMusicBrainzHost + "/ws/2/"; }

} // namespace

MusicBrainz::MusicBrainz(WebClient& web, Clock& clock, Clock::time_point end, std::chrono::milliseconds gap,
                         RequestPace* pace)
    : web_(web), clock_(clock), end_(end), gap_(gap),
      ownPace_(pace ? nullptr : std::make_unique<RequestPace>(1, gap)),
      pace_(pace ? *pace : *ownPace_) {}

std::string MusicBrainz::SearchUrl(const TrackWords& words) {
    return base() + "recording?query=" + PercentEncode(RecordingQuery(words)) + "&fmt=json&limit=10";
}

std::string MusicBrainz::ReleaseUrl(const std::string& releaseId) {
    return base() + "release/" + releaseId + "?fmt=json";
}

std::string MusicBrainz::FrontCoverUrl(const std::string& releaseId) {
    return std::string("https://") + vel::kCoverArtHost + "/release/" + releaseId + "/front-250";
}

std::string MusicBrainz::GroupFrontCoverUrl(const std::string& groupId) {
    return std::string("https://") + vel::kCoverArtHost + "/release-group/" + groupId + "/front-250";
}

std::optional<std::vector<std::uint8_t>> MusicBrainz::get(const std::string& url, std::stop_token stop) {
    for (int attempt = 0; !gaveUp_; ++attempt) {
        // After a 503 the pause grows: one gap more for each retry, and at
        // least as long as the service asked for.
        Clock::time_point earliest = clock_.now();
        if (lastEnd_) earliest = std::max(earliest, *lastEnd_ + gap_ * (1 + attempt));
        if (retryAt_) earliest = std::max(earliest, *retryAt_);
        const auto start = pace_.Reserve(clock_.now(), earliest, end_, stop);
        if (stop.stop_requested()) return std::nullopt;
        if (!start) break; // its turn comes too late for this lookup
        clock_.waitUntil(*start, stop);
        if (stop.stop_requested()) return std::nullopt;
        WebReply reply = web_.GetUnlessStopped(stop, url, end_, kMaxJsonBytes);
        lastEnd_ = clock_.now();
        pace_.Finished(*start, *lastEnd_);
        if (reply.ok()) return std::move(reply.body);
        if (stop.stop_requested()) return std::nullopt;
        // No answer at all: the next request would only wait as long again.
        if (reply.status == 0) break;
        if (reply.status != 503) return std::nullopt;
        if (reply.retryAfter > std::chrono::seconds(0)) retryAt_ = *lastEnd_ + reply.retryAfter;
        if (attempt == kMaxRetries) break;
    }
    gaveUp_ = true;
    return std::nullopt;
}

std::optional<std::vector<ChosenRelease>> MusicBrainz::FindReleases(const TrackWords& words, std::size_t limit) {
    const auto body = get(SearchUrl(words), {});
    if (!body) return std::nullopt;
    return ChooseReleases(*body, words, limit);
}

std::optional<ReleaseInfo> MusicBrainz::LookupRelease(const std::string& releaseId, std::stop_token stop) {
    if (!IsReleaseId(releaseId)) return std::nullopt;
    const auto body = get(ReleaseUrl(releaseId), std::move(stop));
    if (!body) return std::nullopt;
    return ReadRelease(*body);
}

} // namespace velfetch::opencatalog
