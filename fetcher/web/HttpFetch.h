#pragma once
// One plain GET of the built-in steps (the catalogue, the search engine, their
// pictures), the body as bytes. The open catalogues have a client of their own
// (CurlWebClient); both download by one rule (HttpSettings.h).
#include "HttpSettings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velfetch {

// Downloads `url` (agent "velbot", redirects followed, never from a cache, no
// status check: an error page is data) and returns the number of body bytes.
// - body received: `bytes` holds exactly the body; a read that fails part-way
//   or falls silent keeps what arrived before;
// - a response with an empty body, or past the size cap or the deadline:
//   `bytes` is emptied and 0 returned;
// - empty URL (no network access at all) or no response: 0, `bytes` untouched.
std::int32_t DownloadBytes(const std::string& url, std::vector<std::uint8_t>& bytes,
                           const HttpSettings& settings = {});

} // namespace velfetch
