#include "CurlWebClient.h"

#include "PublicAddress.h"
#include "ServiceHosts.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>

namespace velfetch::opencatalog {
namespace {

using std::chrono::milliseconds;

struct Sink {
    std::size_t cap;
    std::vector<std::uint8_t> body;
    bool overCap = false;
};

// Counts the bytes as libcurl hands them over, that is decoded (gzip and the
// like): a small compressed body cannot grow past the cap.
std::size_t onBody(char* data, std::size_t size, std::size_t items, void* user) {
    auto& sink = *static_cast<Sink*>(user);
    const std::size_t n = size * items;
    if (n > sink.cap - std::min(sink.cap, sink.body.size())) {
        sink.overCap = true;
        return 0; // a short count aborts the transfer
    }
    try {
        // Room for the cap at once: the buffer never moves, so it never lives
        // twice, and pages never written take no memory.
        if (sink.body.capacity() == 0) sink.body.reserve(sink.cap);
        sink.body.insert(sink.body.end(), data, data + n);
    } catch (const std::exception&) { // no exception may cross libcurl: a body memory cannot hold is too long
        sink.overCap = true;
        return 0;
    }
    return n;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t items, void* user) {
    auto& [guard, easy] = *static_cast<std::pair<RequestGuard*, CURL*>*>(user);
    return guard->Header(easy, {data, size * items}) ? size * items : 0;
}

// A non-zero return aborts the transfer: the request is no longer wanted.
int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::stop_token*>(user)->stop_requested() ? 1 : 0;
}

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
    if (http_.until) end = std::min(end, *http_.until);
    const auto left = std::chrono::duration_cast<milliseconds>(end - std::chrono::steady_clock::now());
    const milliseconds limit = std::min(left, http_.deadline);
    // Picture URLs come from replies: never one that names an address or localhost.
    if (url.empty() || limit <= milliseconds(0) || !MayRequest(url)) return reply;

    if (!easy_) return reply;
    CURL* h = easy_.get();
    curl_easy_reset(h);
    SetUpTransfer(h, guard_, {url, agent_.c_str(), 5L, std::min(limit, http_.connectTimeout), http_.proxy, caBundle_});
    std::pair<RequestGuard*, CURL*> headerUser{&guard_, h};
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &headerUser);
    Sink sink{std::min(maxBytes, http_.maxBodyBytes), {}};
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, ""); // whatever libcurl can decode; the cap counts decoded bytes
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(limit.count()));
    // A server that sends nothing for the silence time-out ends the download.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME,
                     long(std::max<long long>(1, (http_.silenceTimeout.count() + 999) / 1000)));
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(std::min<std::size_t>(sink.cap, std::size_t(INT64_MAX))));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    if (stop_.stop_possible()) {
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &stop_);
    }

    const CURLcode result = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply.status);
    // libcurl reads both forms; a date already past may come out negative. A
    // day is longer than any lookup: more would only overflow the clock.
    curl_off_t wait = 0;
    curl_easy_getinfo(h, CURLINFO_RETRY_AFTER, &wait);
    reply.retryAfter = std::chrono::seconds(std::clamp<curl_off_t>(wait, 0, 86400));
    reply.complete = result == CURLE_OK && !sink.overCap && !guard_.refused();
    if (reply.complete) reply.body = std::move(sink.body);
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
