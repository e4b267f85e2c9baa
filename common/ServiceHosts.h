#pragma once
// Hosts of the outside services, built in. Tests reach loopback stand-ins
// through the proxy settings (http_proxy, https_proxy), never by changing these.

namespace vel {

inline constexpr char kCatalogueHost[] = "xml.amazon.co.jp"; // product web service (XML)
inline constexpr char kStoreHost[] = "www.amazon.co.jp";     // storefront: product links and pages
inline constexpr char kStoreDomain[] = "amazon.co.jp";       // shown in the cover's tool tip
inline constexpr char kEngineHost[] = "www.google.co.jp";    // web search engine of the fall-back

// Open catalogues asked over HTTPS when the two steps above find nothing.
inline constexpr char kMusicBrainzHost[] = "musicbrainz.org";    // recordings and releases
inline constexpr char kCoverArtHost[] = "coverartarchive.org";   // release covers (redirects to its storage)
inline constexpr char kITunesHost[] = "itunes.apple.com";        // song search, Japan store

// The maker's web site, named as the contact in the fetcher's agent string.
inline constexpr char kMakerSite[] = "https://velmora.example.jp/";

} // namespace vel
