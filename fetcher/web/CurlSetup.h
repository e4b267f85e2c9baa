#pragma once
// What both of the fetcher's libcurl clients share: one transfer made by the
// rule that HttpSettings.h states.
#include "CurlHandles.h"
#include "HttpSettings.h"
#include "RequestGuard.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <stop_token>
#include <string>
#include <vector>

namespace velfetch {

// What differs between the clients.
struct CurlRequest {
    const std::string& url;
    const char* agent;
    long maxRedirects;
    const std::string& caBundle; // empty: libcurl's built-in bundle
    std::initializer_list<const char*> headers = {};
    bool decoded = false;  // asks for what libcurl can decode (gzip and the like)
    long readSize = 0;     // bytes asked for per read; 0: libcurl's own
    std::chrono::steady_clock::time_point end = std::chrono::steady_clock::time_point::max();
    std::size_t maxBytes = SIZE_MAX; // beside the settings' own cap
    const std::stop_token* stop = nullptr; // a request no longer wanted ends as nothing received
};

struct CurlOutcome {
    bool responded = false; // a response began (a status line or body bytes arrived)
    bool whole = false;     // the body ended as the server ended it, within every limit
    // What arrived: the whole body, or the part before the connection broke or
    // fell silent. Empty when the transfer counts as nothing received (past
    // the size cap or the deadline, stopped, or refused by the request guard).
    std::vector<std::uint8_t> body;
    long status = 0; // HTTP status of the last response; 0: none came
    // The server's Retry-After as a wait from now (libcurl reads both forms), 0 when none.
    std::chrono::seconds retryAfter{0};
};

// One GET on `easy` (reset first) by the rule of HttpSettings.h: web schemes
// only, also for redirects; certificates checked; every connection and every
// redirect held to the public-address rule by `guard`.
CurlOutcome RunTransfer(CURL* easy, RequestGuard& guard, const HttpSettings& settings, const CurlRequest& request);

} // namespace velfetch
