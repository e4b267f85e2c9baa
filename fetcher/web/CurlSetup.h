#pragma once
// What both of the fetcher's libcurl clients set on a transfer alike, and
// the owners of libcurl's handles (each freed by libcurl's own call for it).
#include "RequestGuard.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <string>

namespace velfetch {

struct CurlEasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct CurlListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct CurlUrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;

// What differs between the clients.
struct CurlRequest {
    const std::string& url;
    const char* agent;
    long maxRedirects;
    std::chrono::milliseconds connectTimeout;
    const std::string& proxy;    // empty: the environment's proxies, as libcurl reads them
    const std::string& caBundle; // empty: libcurl's built-in bundle
};

// Sets on `easy` the URL, the agent, redirects (web schemes only: a reply must
// not make the fetcher read local files or other services), certificate
// checks, the CA bundle, the proxy and the connect time-out, and attaches
// `guard`, so that every connection and every redirect is held to the
// public-address rule. The caller feeds the guard the header lines.
void SetUpTransfer(CURL* easy, RequestGuard& guard, const CurlRequest& request);

} // namespace velfetch
