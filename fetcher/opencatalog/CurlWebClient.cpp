#include "CurlWebClient.h"

#include "PublicAddress.h"
#include "ServiceHosts.h"

#include <cstdlib>

namespace velfetch::opencatalog {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string OpenCatalogueAgent() {
    return std::string("velbot/") + VELMORA_VERSION_TEXT + " ( " + vel::kMakerSite + " )";
}

std::string CaBundleFromEnvironment() {
    std::string bundle = environment("CURL_CA_BUNDLE");
    return bundle.empty() ? environment("SSL_CERT_FILE") : bundle;
}

CurlWebClient::CurlWebClient(HttpSettings http, std::string caBundle)
    : http_(std::move(http)), caBundle_(caBundle.empty() ? CaBundleFromEnvironment() : std::move(caBundle)),
      agent_(OpenCatalogueAgent()), guard_(http_.proxy), easy_(curl_easy_init()) {}

CurlWebClient::~CurlWebClient() = default;

WebReply CurlWebClient::Get(const std::string& url, Clock::time_point end, std::size_t maxBytes) {
    WebReply reply;
    // Picture URLs come from replies: never one that names an address or localhost.
    if (url.empty() || !easy_ || !MayRequest(url)) return reply;
    CurlOutcome got = RunTransfer(easy_.get(), guard_, http_,
                                  {.url = url,
                                   .agent = agent_.c_str(),
                                   .maxRedirects = 5,
                                   .caBundle = caBundle_,
                                   .decoded = true, // the cap counts decoded bytes
                                   .end = end,
                                   .maxBytes = maxBytes,
                                   .stop = stop_.stop_possible() ? &stop_ : nullptr});
    reply.status = got.status;
    reply.retryAfter = got.retryAfter;
    reply.complete = got.whole; // a body cut short is no answer
    if (reply.complete) reply.body = std::move(got.body);
    return reply;
}

WebReply CurlWebClient::GetUnlessStopped(std::stop_token stop, const std::string& url, Clock::time_point end,
                                         std::size_t maxBytes) {
    if (stop.stop_requested()) return {};
    stop_ = std::move(stop);
    WebReply reply = Get(url, end, maxBytes);
    stop_ = {};
    return reply;
}

} // namespace velfetch::opencatalog
