#include "OpenCatalogueSearch.h"

#include "CoverFit.h"
#include "ITunesSearch.h"
#include "JsonField.h"
#include "MusicBrainz.h"
#include "SideTask.h"
#include "TrackWords.h"

#include <algorithm>

namespace velfetch::opencatalog {
namespace {

constexpr char kMusicBrainz[] = "musicbrainz";
constexpr char kITunes[] = "itunes";

// A throttle or an overloaded service: the reply may say when to ask again.
bool isThrottle(long status) { return status == 429 || status == 503; }

} // namespace

OpenCatalogueSearch::OpenCatalogueSearch(WebClient& web, Clock& clock, OpenCatalogueSettings settings,
                                         OpenCatalogueMemory memory)
    : web_(web), musicBrainzWeb_(web), alongside_(false), clock_(clock), settings_(std::move(settings)),
      memory_(memory) {}

OpenCatalogueSearch::OpenCatalogueSearch(WebClient& web, WebClient& musicBrainzWeb, Clock& clock,
                                         OpenCatalogueSettings settings, OpenCatalogueMemory memory)
    : web_(web), musicBrainzWeb_(musicBrainzWeb), alongside_(&web != &musicBrainzWeb), clock_(clock),
      settings_(std::move(settings)), memory_(memory) {}

std::string OpenCatalogueSearch::Question(const TrackWords& words) {
    // The album picks among the releases, and a field that may have been cut
    // accepts longer names: both are part of the question.
    return words.MatchKey();
}

std::optional<std::vector<std::uint8_t>> OpenCatalogueSearch::picture(const std::string& url, Run& run) {
    const WebReply reply = web_.Get(url, run.end, SIZE_MAX);
    if (!reply.ok()) {
        if (!(reply.complete && reply.status == 404)) run.sure = false;
        return std::nullopt;
    }
    // Decoding counts against the lookup's time too: a picture not decoded by its end is no hit.
    const auto left = run.end - clock_.now();
    if (left <= Clock::time_point::duration::zero()) {
        run.sure = false;
        return std::nullopt;
    }
    return FitCover(reply.body, kCoverWidth, kCoverHeight, std::chrono::steady_clock::now() + left);
}

std::optional<CoverHit> OpenCatalogueSearch::fromMusicBrainz(const TrackWords& words, Run& run) {
    MusicBrainz musicBrainz(musicBrainzWeb_, clock_, run.end, settings_.musicBrainzGap, memory_.musicBrainzPace);
    const auto releases = musicBrainz.FindReleases(words, kMaxReleases);
    if (!releases) {
        run.sure = false;
        return std::nullopt;
    }
    if (releases->empty()) return std::nullopt;

    // The best release's lookup (for its ASIN) waits its turn at MusicBrainz
    // while the Cover Art Archive, which has no such pause, is asked for the
    // pictures themselves: a 404 there means the release has no front. Without
    // one, another edition of the same album (its release group) shows the
    // same cover, or nearly, before the next candidate is tried.
    std::optional<ReleaseInfo> best;
    SideTask lookup(alongside_,
                    [&](std::stop_token stop) { best = musicBrainz.LookupRelease(releases->front().id, stop); });
    std::vector<std::string> groupsTried;
    for (std::size_t i = 0; i < releases->size(); ++i) {
        const ChosenRelease& chosen = (*releases)[i];
        auto jpeg = picture(MusicBrainz::FrontCoverUrl(chosen.id), run);
        if (!jpeg && !chosen.groupId.empty() && !std::ranges::count(groupsTried, chosen.groupId)) {
            groupsTried.push_back(chosen.groupId);
            jpeg = picture(MusicBrainz::GroupFrontCoverUrl(chosen.groupId), run);
        }
        if (!jpeg) continue;
        if (i != 0) lookup.Stop(); // the best release's ASIN is no longer wanted
        lookup.Finish();
        const std::optional<ReleaseInfo> release = i == 0 ? best : musicBrainz.LookupRelease(chosen.id);
        if (!release) run.sure = false; // the ASIN is unknown, not absent
        return CoverHit{std::move(*jpeg), release ? release->asin : std::string(), kMusicBrainz};
    }
    lookup.Stop();
    return std::nullopt;
}

std::optional<CoverHit> OpenCatalogueSearch::fromITunes(const TrackWords& words, Run& run) {
    RequestPace ownPace(kITunesRequests, std::chrono::minutes(1));
    RequestPace& pace = memory_.iTunesPace ? *memory_.iTunesPace : ownPace;
    WebReply songs;
    std::optional<Clock::time_point> retryAt;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto start = pace.Reserve(clock_.now(), retryAt.value_or(clock_.now()), run.end);
        if (!start) {
            run.sure = false;
            return std::nullopt;
        }
        clock_.sleepUntil(*start);
        songs = web_.Get(ITunesSearchUrl(words), run.end, kMaxJsonBytes);
        pace.Finished(*start, clock_.now());
        // One more try when the service says how long to wait, and that fits.
        if (!isThrottle(songs.status) || songs.retryAfter <= std::chrono::seconds(0)) break;
        retryAt = clock_.now() + songs.retryAfter;
    }
    if (!songs.ok() || !ParseJson(songs.body).is_object()) {
        run.sure = false; // 403 and 429 are its throttles
        return std::nullopt;
    }
    for (const std::string& url : ChooseArtwork(songs.body, words, kMaxArtwork))
        if (auto jpeg = picture(url, run)) return CoverHit{std::move(*jpeg), {}, kITunes};
    return std::nullopt;
}

std::optional<CoverHit> OpenCatalogueSearch::Find(std::string_view artist, std::string_view title,
                                                  std::string_view album) {
    const TrackWords words(artist, title, album);
    if (words.empty()) return std::nullopt;
    const std::string question = Question(words);
    if (memory_.answers) {
        if (auto kept = memory_.answers->Find(question)) {
            if (!kept->found()) return std::nullopt;
            return CoverHit{std::move(kept->jpeg), std::move(kept->asin), std::move(kept->source)};
        }
    }

    Run run{clock_.now() + settings_.timeLimit};
    std::optional<CoverHit> hit = fromMusicBrainz(words, run);
    if (!hit) hit = clock_.now() < run.end ? fromITunes(words, run) : std::nullopt;
    if (clock_.now() >= run.end) run.sure = false;
    if (memory_.answers && run.sure) {
        if (hit) memory_.answers->Store(question, {hit->jpeg, hit->asin, hit->source});
        else memory_.answers->Store(question, {});
    }
    return hit;
}

} // namespace velfetch::opencatalog
