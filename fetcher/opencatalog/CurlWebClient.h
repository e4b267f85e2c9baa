#pragma once
// WebClient over libcurl: HTTPS with certificate verification, the proxies of
// the environment for both schemes (libcurl reads http_proxy, https_proxy and
// no_proxy itself), downloads by the fetcher's rule (HttpSettings.h), of which
// only whole bodies count. Requests reach only public addresses
// (RequestGuard), except the proxy.
#include "CurlSetup.h"
#include "HttpSettings.h"
#include "RequestGuard.h"
#include "WebClient.h"

#include <string>

namespace velfetch::opencatalog {

// The agent string the open catalogues ask for: program, version, contact.
std::string OpenCatalogueAgent();

// The CA bundle a user named as the curl tool reads it: CURL_CA_BUNDLE, else
// SSL_CERT_FILE; empty when neither is set (libcurl's built-in bundle then).
std::string CaBundleFromEnvironment();

class CurlWebClient final : public WebClient {
public:
    // `caBundle` empty: CaBundleFromEnvironment(). A proxy in `http` replaces
    // the environment's for every host (tests).
    explicit CurlWebClient(HttpSettings http, std::string caBundle = {});
    ~CurlWebClient() override;

    WebReply Get(const std::string& url, Clock::time_point end, std::size_t maxBytes) override;
    WebReply GetUnlessStopped(std::stop_token stop, const std::string& url, Clock::time_point end,
                              std::size_t maxBytes) override;

private:
    HttpSettings http_;
    std::string caBundle_;
    std::string agent_;
    RequestGuard guard_; // no reply sends a request into the user's own network
    // One handle for all requests: its connections and its parsed CA store
    // carry over from one request to the next.
    CurlEasy easy_;
    std::stop_token stop_; // of the request under way
};

} // namespace velfetch::opencatalog
