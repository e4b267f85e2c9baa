#include "RequestGuard.h"

#include "CurlSetup.h"
#include "PublicAddress.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>

namespace velfetch {
namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && strncasecmp(s.data(), prefix.data(), prefix.size()) == 0;
}

// The host and port a proxy setting names ("http://proxy:3128", "proxy:3128",
// "socks5h://[::1]:1080"); port 0 when it names none.
std::optional<std::pair<std::string, int>> proxyHost(const std::string& setting) {
    const CurlUrl url(curl_url());
    char* host = nullptr;
    if (!url ||
        curl_url_set(url.get(), CURLUPART_URL, setting.c_str(), CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_get(url.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || !host)
        return std::nullopt;
    std::string name(host);
    curl_free(host);
    if (name.size() > 2 && name.front() == '[') name = name.substr(1, name.size() - 2);
    char* port = nullptr;
    int number = 0;
    if (curl_url_get(url.get(), CURLUPART_PORT, &port, 0) == CURLUE_OK && port) {
        number = std::atoi(port);
        curl_free(port);
    }
    return std::pair{name, number};
}

bool sameAddress(const sockaddr& a, const sockaddr_storage& b, int port) {
    if (a.sa_family != b.ss_family) return false;
    if (a.sa_family == AF_INET) {
        sockaddr_in x{}, y{};
        std::memcpy(&x, &a, sizeof x);
        std::memcpy(&y, &b, sizeof y);
        return x.sin_addr.s_addr == y.sin_addr.s_addr && (port == 0 || ntohs(x.sin_port) == port);
    }
    if (a.sa_family == AF_INET6) {
        sockaddr_in6 x{}, y{};
        std::memcpy(&x, &a, sizeof x);
        std::memcpy(&y, &b, sizeof y);
        return std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0 &&
               (port == 0 || ntohs(x.sin6_port) == port);
    }
    return false;
}

} // namespace

RequestGuard::RequestGuard(std::string proxy) : proxy_(std::move(proxy)) {}

void RequestGuard::Attach(CURL* easy) {
    status_ = 0;
    refused_ = false;
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, openSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
}

curl_socket_t RequestGuard::openSocket(void* self, curlsocktype, curl_sockaddr* address) {
    auto& guard = *static_cast<RequestGuard*>(self);
    // The address about to be connected to, whatever name led to it.
    if (!IsPublicAddress(address->addr) && !guard.isProxy(address->addr)) {
        guard.refused_ = true;
        return CURL_SOCKET_BAD;
    }
    return socket(address->family, address->socktype, address->protocol);
}

bool RequestGuard::isProxy(const sockaddr& address) {
    if (!proxies_) {
        proxies_.emplace();
        std::vector<std::string> settings;
        if (!proxy_.empty()) {
            settings.push_back(proxy_);
        } else {
            // The variables libcurl takes proxies from (it ignores HTTP_PROXY).
            for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
                if (const char* value = std::getenv(name); value && *value) settings.emplace_back(value);
        }
        for (const std::string& setting : settings) {
            const auto host = proxyHost(setting);
            if (!host) continue;
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* found = nullptr;
            if (getaddrinfo(host->first.c_str(), nullptr, &hints, &found) != 0) continue;
            for (const addrinfo* a = found; a; a = a->ai_next) {
                Endpoint e;
                std::memcpy(&e.address, a->ai_addr, std::min<std::size_t>(a->ai_addrlen, sizeof e.address));
                e.port = host->second;
                proxies_->push_back(e);
            }
            freeaddrinfo(found);
        }
    }
    for (const Endpoint& e : *proxies_)
        if (sameAddress(address, e.address, e.port)) return true;
    return false;
}

bool RequestGuard::Header(CURL* easy, std::string_view line) {
    if (line.starts_with("HTTP/")) {
        const std::size_t space = line.find(' ');
        status_ = space == std::string_view::npos ? 0 : std::atol(std::string(line.substr(space + 1, 3)).c_str());
        return true;
    }
    if (status_ < 300 || status_ > 399 || !startsWithNoCase(line, "location:")) return true;
    const std::string_view location = trimmed(line.substr(9));
    if (location.empty()) return true;
    char* current = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &current);
    if (current && MayRedirect(current, location)) return true;
    refused_ = true;
    return false;
}

} // namespace velfetch
