#pragma once
// Client of the catalogue web service and of the search engine: builds the
// requests, pages through the replies and keeps the records of the last search.
#include "CatalogueItem.h"
#include "HttpFetch.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velfetch {

// Result codes of CatalogueSearch (the service's own numbers).
enum CatalogueResult : int { kSearchOk = 0, kNoResults = 25, kUnreachable = 55 };

// Search type codes; the code names the query key.
constexpr int kKeywordSearch = 10;
constexpr int kBrowseNodeSearch = 20;
constexpr int kBlendedSearch = 40;
constexpr int kAsinSearch = 80;

inline constexpr char16_t kMusicMode[] = u"music-jp";

constexpr std::size_t kMaxResults = 100; // entries the table holds at most
constexpr long long kMaxPages = 10;      // pages read at most
constexpr std::int32_t kProbeMinBytes = 801; // shorter probe or engine replies count as failures
constexpr std::int32_t kPageMinBytes = 1801; // shorter pages are fetched again
constexpr int kMaxPageFailures = 5;          // a sixth short reply ends the search

class Amazon {
public:
    explicit Amazon(HttpSettings http = {}) : http_(std::move(http)) {}

    // Every request of this client ends by then (see HttpSettings::until).
    void SetLookupEnd(std::chrono::steady_clock::time_point end) { http_.until = end; }

    // Searches the catalogue and fills SearchResults; returns kSearchOk,
    // kNoResults or kUnreachable.
    CatalogueResult CatalogueSearch(std::u16string_view words, std::u16string_view mode, int type);

    // The product identifier from the search engine's first product link, or empty.
    std::u16string FindAsinByEngine(std::u16string_view query);

    // DownloadBytes for a URL held as text; it goes out in the ANSI code page.
    std::int32_t Download(std::u16string_view url, std::vector<std::uint8_t>& bytes) const;

    // URL of one catalogue request: page 1 for the probe, then each page.
    static std::u16string CatalogueUrl(std::u16string_view words, std::u16string_view mode, int type, long long page);
    static std::u16string EngineUrl(std::u16string_view query);
    static std::u16string ProductLinkPrefix();

    // Records of the last search that got past its first reply (entry 1 at index 0).
    std::vector<CatalogueItem> SearchResults;
    // "TotalResults" of that search (1 for an identifier search); not capped.
    long long ResultCount = 0;

private:
    HttpSettings http_;
};

} // namespace velfetch
