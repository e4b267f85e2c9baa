#include "MusicBrainz.h"

#include "JsonField.h"
#include "LuceneQuery.h"
#include "PercentEncode.h"
#include "ServiceHosts.h"

namespace velfetch::opencatalog {
namespace {

std::string base() { return std::string("https://") + vel::kMusicBrainzHost + "/ws/2/"; }

} // namespace

MusicBrainz::MusicBrainz(WebClient& web, Clock& clock, Clock::time_point end, std::chrono::milliseconds gap)
    : web_(web), clock_(clock), end_(end), gap_(gap) {}

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

std::optional<std::vector<std::uint8_t>> MusicBrainz::get(const std::string& url) {
    for (int attempt = 0; !gaveUp_; ++attempt) {
        // After a 503 the pause grows: one gap more for each retry.
        if (lastEnd_) {
            const Clock::time_point start = *lastEnd_ + gap_ * (1 + attempt);
            if (start >= end_) break;
            clock_.sleepUntil(start);
        }
        WebReply reply = web_.Get(url, end_, kMaxJsonBytes);
        lastEnd_ = clock_.now();
        if (reply.ok()) return std::move(reply.body);
        // No answer at all: the next request would only wait as long again.
        if (reply.status == 0) break;
        if (reply.status != 503) return std::nullopt;
        if (attempt == kMaxRetries) break;
    }
    gaveUp_ = true;
    return std::nullopt;
}

std::optional<std::vector<ChosenRelease>> MusicBrainz::FindReleases(const TrackWords& words, std::size_t limit) {
    const auto body = get(SearchUrl(words));
    if (!body) return std::nullopt;
    return ChooseReleases(*body, words, limit);
}

std::optional<ReleaseInfo> MusicBrainz::LookupRelease(const std::string& releaseId) {
    if (!IsReleaseId(releaseId)) return std::nullopt;
    const auto body = get(ReleaseUrl(releaseId));
    if (!body) return std::nullopt;
    return ReadRelease(*body);
}

} // namespace velfetch::opencatalog
