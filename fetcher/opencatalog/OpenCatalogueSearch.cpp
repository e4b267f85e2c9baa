#include "OpenCatalogueSearch.h"

#include "CoverFit.h"
#include "ITunesSearch.h"
#include "JsonField.h"
#include "MusicBrainz.h"
#include "TrackWords.h"

#include <algorithm>

namespace velfetch::opencatalog {

OpenCatalogueSearch::OpenCatalogueSearch(WebClient& web, Clock& clock, OpenCatalogueSettings settings)
    : web_(web), clock_(clock), settings_(std::move(settings)) {}

std::optional<std::vector<std::uint8_t>> OpenCatalogueSearch::picture(const std::string& url, Clock::time_point end) {
    const WebReply reply = web_.Get(url, end, SIZE_MAX);
    if (!reply.ok()) return std::nullopt;
    // Decoding counts against the lookup's time too: a picture not decoded by its end is no hit.
    const auto left = end - clock_.now();
    if (left <= Clock::time_point::duration::zero()) return std::nullopt;
    return FitCover(reply.body, kCoverWidth, kCoverHeight, std::chrono::steady_clock::now() + left);
}

std::optional<CoverHit> OpenCatalogueSearch::Find(std::string_view artist, std::string_view title,
                                                  std::string_view album) {
    const TrackWords words(artist, title, album);
    if (words.empty()) return std::nullopt;
    const Clock::time_point end = clock_.now() + settings_.timeLimit;

    MusicBrainz musicBrainz(web_, clock_, end, settings_.musicBrainzGap);
    if (const auto releases = musicBrainz.FindReleases(words, kMaxReleases)) {
        std::vector<std::string> groupsTried;
        for (const ChosenRelease& chosen : *releases) {
            const auto release = musicBrainz.LookupRelease(chosen.id);
            if (musicBrainz.gaveUp()) break;
            if (!release) continue;
            if (release->front)
                if (auto jpeg = picture(MusicBrainz::FrontCoverUrl(chosen.id), end))
                    return CoverHit{std::move(*jpeg), release->asin};
            // Another edition of the same album shows the same cover, or nearly.
            if (chosen.groupId.empty() || std::ranges::count(groupsTried, chosen.groupId)) continue;
            groupsTried.push_back(chosen.groupId);
            if (auto jpeg = picture(MusicBrainz::GroupFrontCoverUrl(chosen.groupId), end))
                return CoverHit{std::move(*jpeg), release->asin};
        }
    }

    if (clock_.now() >= end) return std::nullopt;
    const WebReply songs = web_.Get(ITunesSearchUrl(words), end, kMaxJsonBytes);
    if (!songs.ok()) return std::nullopt;
    for (const std::string& url : ChooseArtwork(songs.body, words, kMaxArtwork))
        if (auto jpeg = picture(url, end)) return CoverHit{std::move(*jpeg), {}};
    return std::nullopt;
}

} // namespace velfetch::opencatalog
