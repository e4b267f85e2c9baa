#pragma once
// What both of the fetcher's libcurl clients set on a transfer alike.
#include "CurlHandles.h"
#include "RequestGuard.h"

#include <curl/curl.h>

#include <chrono>
#include <string>

namespace velfetch {

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
