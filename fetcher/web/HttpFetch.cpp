#include "HttpFetch.h"

#include "CurlSetup.h"
#include "PublicAddress.h"

#include <curl/curl.h>

#include <algorithm>
#include <exception>
#include <memory>

namespace velfetch {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadSize = 10240; // bytes asked for per read

struct Transfer {
    const HttpSettings& settings;
    CURL* easy;
    RequestGuard& guard;
    std::vector<std::uint8_t> body{};
    std::size_t count = 0;
    bool responded = false;
    bool overCap = false;
    bool pastDeadline = false;
    Clock::time_point start = Clock::now();
    Clock::time_point lastData = start;
};

std::size_t onHeader(char* data, std::size_t size, std::size_t items, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    t.responded = true;
    return t.guard.Header(t.easy, {data, size * items}) ? size * items : 0;
}

std::size_t onBody(char* data, std::size_t size, std::size_t items, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = size * items;
    t.responded = true;
    t.lastData = Clock::now();
    if (n > t.settings.maxBodyBytes || t.count > t.settings.maxBodyBytes - n) {
        t.overCap = true;
        return 0; // a short count aborts the transfer
    }
    try {
        if (t.body.capacity() - t.count < n) {
            // Room for the whole announced body at once, or else for the cap: the
            // body is never copied on the way, so it never lives twice, and the
            // pages of the cap never written take no memory.
            curl_off_t announced = -1;
            curl_easy_getinfo(t.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            std::size_t room = t.settings.maxBodyBytes;
            if (announced > 0 && std::uint64_t(announced) >= t.count + n && std::uint64_t(announced) < room)
                room = std::size_t(announced);
            t.body.reserve(std::max(t.count + n, room));
        }
        t.body.insert(t.body.end(), data, data + n);
    } catch (const std::exception&) { // no exception may cross libcurl: a body memory cannot hold is too long
        t.overCap = true;
        return 0;
    }
    t.count += n;
    return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& t = *static_cast<Transfer*>(user);
    const auto now = Clock::now();
    if (now - t.start > t.settings.deadline || (t.settings.until && now >= *t.settings.until)) {
        t.pastDeadline = true;
        return 1;
    }
    // Silence ends the read like a failed read: what arrived so far is kept.
    return now - t.lastData > t.settings.silenceTimeout ? 1 : 0;
}

} // namespace

std::int32_t DownloadBytes(const std::string& url, std::vector<std::uint8_t>& bytes, const HttpSettings& settings) {
    // An address or localhost in a URL (an image URL comes from a reply) counts as no connection.
    if (url.empty() || !MayRequest(url)) return 0;
    if (settings.until && std::chrono::steady_clock::now() >= *settings.until) return 0;

    CurlEasy easy(curl_easy_init());
    if (!easy) return 0;
    CURL* h = easy.get();

    CurlList headers;
    for (const char* line : {"Cache-Control: no-cache", "Pragma: no-cache"}) {
        curl_slist* grown = curl_slist_append(headers.get(), line);
        if (!grown) return 0;
        (void)headers.release();
        headers.reset(grown);
    }

    RequestGuard guard(settings.proxy);
    Transfer t{settings, h, guard};
    // The built-in steps name no CA bundle: libcurl's own serves them.
    SetUpTransfer(h, guard, {url, "velbot", 10L, settings.connectTimeout, settings.proxy, std::string()});
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, static_cast<long>(kReadSize));
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

    // The result code is not judged: a transfer that breaks off keeps what it received.
    curl_easy_perform(h);

    if (!t.responded) return 0;
    if (t.overCap || t.pastDeadline || t.count == 0 || guard.refused()) {
        std::vector<std::uint8_t>().swap(bytes);
        return 0;
    }
    // A body of the announced length fills its room exactly; one of unknown
    // length keeps the room of the cap rather than a second copy of itself.
    bytes = std::move(t.body);
    return static_cast<std::int32_t>(t.count);
}

} // namespace velfetch
