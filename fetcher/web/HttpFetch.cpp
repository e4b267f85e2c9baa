#include "HttpFetch.h"

#include "CurlSetup.h"
#include "PublicAddress.h"

namespace velfetch {

std::int32_t DownloadBytes(const std::string& url, std::vector<std::uint8_t>& bytes, const HttpSettings& settings) {
    // An address or localhost in a URL (an image URL comes from a reply) counts as no connection.
    if (url.empty() || !MayRequest(url)) return 0;
    if (settings.until && std::chrono::steady_clock::now() >= *settings.until) return 0;

    CurlEasy easy(curl_easy_init());
    if (!easy) return 0;
    RequestGuard guard(settings.proxy);
    // The built-in steps name no CA bundle (libcurl's own serves them), never
    // take a cached copy, and read in blocks of 10240 bytes.
    const std::string noBundle;
    CurlOutcome got = RunTransfer(easy.get(), guard, settings,
                                  {.url = url,
                                   .agent = "velbot",
                                   .maxRedirects = 10,
                                   .caBundle = noBundle,
                                   .headers = {"Cache-Control: no-cache", "Pragma: no-cache"},
                                   .readSize = 10240});
    if (!got.responded) return 0;
    // A body cut short is kept as it arrived; one that counts as nothing, or
    // an empty one, releases the array.
    if (got.body.empty()) {
        std::vector<std::uint8_t>().swap(bytes);
        return 0;
    }
    bytes = std::move(got.body);
    return static_cast<std::int32_t>(bytes.size());
}

} // namespace velfetch
