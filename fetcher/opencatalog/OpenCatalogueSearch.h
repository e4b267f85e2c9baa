#pragma once
// The fetcher's third step: MusicBrainz with the Cover Art Archive, then the
// iTunes Search API, for a track the two built-in steps found nothing for.
#include "Clock.h"
#include "WebClient.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velfetch::opencatalog {

struct OpenCatalogueSettings {
    std::string caBundle;                       // empty: CURL_CA_BUNDLE, SSL_CERT_FILE or libcurl's own
    std::chrono::milliseconds timeLimit{60000}; // the whole step, whatever the servers do
    std::chrono::milliseconds musicBrainzGap{1000};
};

struct CoverHit {
    std::vector<std::uint8_t> jpeg; // fits the cover area
    std::string asin;               // the release's, or empty
};

class OpenCatalogueSearch {
public:
    static constexpr std::size_t kMaxReleases = 3; // release lookups at most
    static constexpr std::size_t kMaxArtwork = 3;  // iTunes pictures tried at most

    OpenCatalogueSearch(WebClient& web, Clock& clock, OpenCatalogueSettings settings = {});

    // `artist` and `title` in UTF-8, as the fetcher derived them, and the
    // tag's album when it names one. Nothing is asked when both are empty.
    std::optional<CoverHit> Find(std::string_view artist, std::string_view title, std::string_view album = {});

private:
    std::optional<std::vector<std::uint8_t>> picture(const std::string& url, Clock::time_point end);

    WebClient& web_;
    Clock& clock_;
    OpenCatalogueSettings settings_;
};

} // namespace velfetch::opencatalog
