#pragma once
// The fetcher's third step: MusicBrainz with the Cover Art Archive, then the
// iTunes Search API, for a track the two built-in steps found nothing for.
#include "AnswerCache.h"
#include "Clock.h"
#include "RequestPace.h"
#include "WebClient.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velfetch::opencatalog {

class TrackWords;

struct OpenCatalogueSettings {
    std::string caBundle;                       // empty: CURL_CA_BUNDLE, SSL_CERT_FILE or libcurl's own
    std::chrono::milliseconds timeLimit{60000}; // the whole step, whatever the servers do
    std::chrono::milliseconds musicBrainzGap{1000};
};

struct CoverHit {
    std::vector<std::uint8_t> jpeg; // fits the cover area
    std::string asin;               // the release's, or empty
    std::string source;             // "musicbrainz" or "itunes"
};

// What the step shares with other runs of the fetcher; each may be missing.
struct OpenCatalogueMemory {
    AnswerCache* answers = nullptr;
    RequestPace* musicBrainzPace = nullptr; // one request a gap
    RequestPace* iTunesPace = nullptr;      // kITunesRequests a minute
};

class OpenCatalogueSearch {
public:
    static constexpr std::size_t kMaxReleases = 3; // releases whose covers are tried at most
    static constexpr std::size_t kMaxArtwork = 3;  // iTunes pictures tried at most
    static constexpr std::size_t kITunesRequests = 20; // searches a minute, as the service allows

    // With one web client for everything: the release lookup for the ASIN
    // waits until the cover is in.
    OpenCatalogueSearch(WebClient& web, Clock& clock, OpenCatalogueSettings settings = {},
                        OpenCatalogueMemory memory = {});
    // MusicBrainz's own client: the release lookup goes alongside the cover's
    // download, on a thread of its own.
    OpenCatalogueSearch(WebClient& web, WebClient& musicBrainzWeb, Clock& clock, OpenCatalogueSettings settings,
                        OpenCatalogueMemory memory = {});

    // `artist` and `title` in UTF-8, as the fetcher derived them, and the
    // tag's album when it names one. Nothing is asked when both are empty,
    // nor when the answer is kept from before.
    std::optional<CoverHit> Find(std::string_view artist, std::string_view title, std::string_view album = {});

    // The question under which an answer is kept: the normalised words asked
    // and whether each may have been cut (TrackWords::MatchKey).
    static std::string Question(const TrackWords& words);

private:
    // What a run learnt; `sure` falls when any answer was not a real one (an
    // error, a time-out, a throttle), and an unsure "nothing found" is not kept.
    struct Run {
        Clock::time_point end;
        bool sure = true;
    };
    std::optional<CoverHit> fromMusicBrainz(const TrackWords& words, Run& run);
    std::optional<CoverHit> fromITunes(const TrackWords& words, Run& run);
    // The fitted picture at `url`; a 404 or bytes that are no picture are a
    // sure "none".
    std::optional<std::vector<std::uint8_t>> picture(const std::string& url, Run& run);

    WebClient& web_;
    WebClient& musicBrainzWeb_;
    bool alongside_;
    Clock& clock_;
    OpenCatalogueSettings settings_;
    OpenCatalogueMemory memory_;
};

} // namespace velfetch::opencatalog
