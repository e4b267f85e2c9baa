#include "CurlSetup.h"

#include <strings.h>

#include <algorithm>

namespace velfetch {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Transfer {
    CURL* easy;
    RequestGuard& guard;
    milliseconds silence;
    std::size_t cap;
    const std::stop_token* stop;
    std::vector<std::uint8_t> body{};
    bool responded = false;
    bool encoded = false; // the announced length is not the length handed over
    bool overCap = false;
    bool silent = false;
    bool stopped = false;
    Clock::time_point lastByte = Clock::now();
};

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && strncasecmp(s.data(), prefix.data(), prefix.size()) == 0;
}

// The C callbacks: no exception may cross libcurl, so each one that could
// throw turns it into the value that ends the transfer.

std::size_t onHeader(char* data, std::size_t size, std::size_t items, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::string_view line(data, size * items);
    t.responded = true;
    t.lastByte = Clock::now();
    if (line.starts_with("HTTP/")) t.encoded = false; // a new response after a redirect
    else if (startsWithNoCase(line, "content-encoding:") && !startsWithNoCase(line, "content-encoding: identity"))
        t.encoded = true;
    return t.guard.Header(t.easy, line) ? line.size() : 0;
}

std::size_t onBody(char* data, std::size_t size, std::size_t items, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = size * items;
    t.responded = true;
    t.lastByte = Clock::now();
    if (n > t.cap - std::min(t.cap, t.body.size())) {
        t.overCap = true;
        return 0; // a short count ends the transfer
    }
    try {
        if (t.body.capacity() - t.body.size() < n) {
            curl_off_t announced = -1;
            curl_easy_getinfo(t.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            std::size_t room = t.cap;
            if (!t.encoded && announced > 0 && std::uint64_t(announced) >= t.body.size() + n &&
                std::uint64_t(announced) < room)
                room = std::size_t(announced);
            t.body.reserve(std::max(t.body.size() + n, room));
        }
        t.body.insert(t.body.end(), data, data + n);
    } catch (...) { // a body memory cannot hold is past any cap
        t.overCap = true;
        return 0;
    }
    return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& t = *static_cast<Transfer*>(user);
    if (t.stop && t.stop->stop_requested()) t.stopped = true;
    else if (Clock::now() - t.lastByte > t.silence) t.silent = true;
    return t.stopped || t.silent ? 1 : 0;
}

void setUp(CURL* h, RequestGuard& guard, const CurlRequest& request, milliseconds connectTimeout) {
    guard.Attach(h, Clock::now() + connectTimeout);
    if (curl_slist* pins = guard.ProxyPins()) curl_easy_setopt(h, CURLOPT_RESOLVE, pins);
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, request.agent);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, request.maxRedirects);
    // Web schemes only: a reply must not make the fetcher read local files or
    // other services; the guard judges every hop besides.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.caBundle.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, request.caBundle.c_str());
        curl_easy_setopt(h, CURLOPT_PROXY_CAINFO, request.caBundle.c_str());
    }
    if (request.decoded) curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    if (request.readSize > 0) curl_easy_setopt(h, CURLOPT_BUFFERSIZE, request.readSize);
}

} // namespace

CurlOutcome RunTransfer(CURL* h, RequestGuard& guard, const HttpSettings& settings, const CurlRequest& request) {
    CurlOutcome outcome;
    const auto start = Clock::now();
    auto end = std::min(request.end, start + settings.deadline);
    if (settings.until) end = std::min(end, *settings.until);
    const auto limit = std::chrono::duration_cast<milliseconds>(end - start);
    if (limit <= milliseconds(0)) return outcome;

    CurlList headers;
    for (const char* line : request.headers)
        if (!AppendToList(headers, line)) return outcome;

    curl_easy_reset(h);
    setUp(h, guard, request, std::min(limit, settings.connectTimeout));
    if (!settings.proxy.empty()) {
        curl_easy_setopt(h, CURLOPT_PROXY, settings.proxy.c_str());
        curl_easy_setopt(h, CURLOPT_NOPROXY, ""); // the given proxy for every host
    }
    if (headers) curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

    Transfer t{h, guard, settings.silenceTimeout, std::min(request.maxBytes, settings.maxBodyBytes), request.stop};
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(limit.count()));
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(std::min<std::size_t>(t.cap, INT64_MAX)));
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

    const CURLcode result = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &outcome.status);
    curl_off_t wait = 0;
    curl_easy_getinfo(h, CURLINFO_RETRY_AFTER, &wait);
    // A date already past may come out negative; a day is longer than any lookup.
    outcome.retryAfter = std::chrono::seconds(std::clamp<curl_off_t>(wait, 0, 86400));
    outcome.responded = t.responded;
    const bool nothing = t.overCap || t.stopped || guard.refused() || result == CURLE_OPERATION_TIMEDOUT ||
                         result == CURLE_FILESIZE_EXCEEDED;
    if (nothing) return outcome;
    outcome.whole = result == CURLE_OK;
    outcome.body = std::move(t.body);
    return outcome;
}

} // namespace velfetch
