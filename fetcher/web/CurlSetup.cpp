#include "CurlSetup.h"

namespace velfetch {

void SetUpTransfer(CURL* h, RequestGuard& guard, const CurlRequest& request) {
    guard.Attach(h);
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, request.agent);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, request.maxRedirects);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"); // and the guard judges every hop
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.caBundle.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, request.caBundle.c_str());
        curl_easy_setopt(h, CURLOPT_PROXY_CAINFO, request.caBundle.c_str());
    }
    if (!request.proxy.empty()) {
        curl_easy_setopt(h, CURLOPT_PROXY, request.proxy.c_str());
        curl_easy_setopt(h, CURLOPT_NOPROXY, ""); // the given proxy for every host
    }
}

} // namespace velfetch
