#pragma once
// Hosts of the outside services, built in. Tests reach loopback stand-ins
// through the proxy setting (http_proxy), never by changing these.

namespace vel {

inline constexpr char kCatalogueHost[] = "xml.amazon.co.jp"; // product web service (XML)
inline constexpr char kStoreHost[] = "www.amazon.co.jp";     // storefront: product links and pages
inline constexpr char kStoreDomain[] = "amazon.co.jp";       // shown in the cover's tool tip
inline constexpr char kEngineHost[] = "www.google.co.jp";    // web search engine of the fall-back

} // namespace vel
