#include "RequestGuard.h"

#include "HostLookup.h"
#include "PublicAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
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

struct ProxyHost {
    std::string name; // without brackets
    int port;
};

// The host and port a proxy setting names ("http://proxy:3128", "proxy:3128",
// "socks5h://[::1]:1080"); without a port, the one libcurl then takes: 443
// for an https:// proxy, otherwise 1080.
std::optional<ProxyHost> proxyHost(const std::string& setting) {
    const CurlUrl url(curl_url());
    char* host = nullptr;
    if (!url ||
        curl_url_set(url.get(), CURLUPART_URL, setting.c_str(), CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_get(url.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || !host)
        return std::nullopt;
    ProxyHost proxy{host, 0};
    curl_free(host);
    if (proxy.name.size() > 2 && proxy.name.front() == '[') proxy.name = proxy.name.substr(1, proxy.name.size() - 2);
    char* port = nullptr;
    if (curl_url_get(url.get(), CURLUPART_PORT, &port, 0) == CURLUE_OK && port) {
        proxy.port = std::atoi(port);
        curl_free(port);
    } else {
        char* scheme = nullptr;
        const bool https = curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme &&
                           strcasecmp(scheme, "https") == 0;
        curl_free(scheme);
        proxy.port = https ? 443 : 1080;
    }
    return proxy;
}

bool sameEndpoint(const sockaddr& a, const sockaddr_storage& b, int port) {
    if (a.sa_family != b.ss_family) return false;
    if (a.sa_family == AF_INET) {
        sockaddr_in x{}, y{};
        std::memcpy(&x, &a, sizeof x);
        std::memcpy(&y, &b, sizeof y);
        return x.sin_addr.s_addr == y.sin_addr.s_addr && ntohs(x.sin_port) == port;
    }
    if (a.sa_family == AF_INET6) {
        sockaddr_in6 x{}, y{};
        std::memcpy(&x, &a, sizeof x);
        std::memcpy(&y, &b, sizeof y);
        return std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0 && ntohs(x.sin6_port) == port;
    }
    return false;
}

// An address as CURLOPT_RESOLVE takes it: IPv6 in brackets.
std::string resolveText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, &address, sizeof in);
        inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
        return text;
    }
    sockaddr_in6 in{};
    std::memcpy(&in, &address, sizeof in);
    inet_ntop(AF_INET6, &in.sin6_addr, text, sizeof text);
    return std::string("[") + text + "]";
}

bool isAddressText(const std::string& host) {
    unsigned char scratch[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), scratch) == 1 || inet_pton(AF_INET6, host.c_str(), scratch) == 1;
}

} // namespace

RequestGuard::RequestGuard(std::string proxy) : proxy_(std::move(proxy)) {}

void RequestGuard::Attach(CURL* easy, std::chrono::steady_clock::time_point lookUpEnd) {
    status_ = 0;
    refused_ = false;
    if (!proxies_) lookUpProxies(lookUpEnd);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, openSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, this);
}

void RequestGuard::lookUpProxies(std::chrono::steady_clock::time_point end) {
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
        const auto addresses = LookUpHost(host->name, end);
        std::string pin = host->name + ':' + std::to_string(host->port) + ':';
        for (const sockaddr_storage& address : addresses) {
            proxies_->push_back({address, host->port});
            pin += resolveText(address) + ',';
        }
        if (!addresses.empty() && !isAddressText(host->name)) {
            pin.pop_back();
            AppendToList(pins_, pin.c_str());
        }
    }
}

curl_socket_t RequestGuard::openSocket(void* self, curlsocktype, curl_sockaddr* address) noexcept {
    auto& guard = *static_cast<RequestGuard*>(self);
    // The address about to be connected to, whatever name led to it.
    if (!IsPublicAddress(address->addr) && !guard.isProxy(address->addr)) {
        guard.refused_ = true;
        return CURL_SOCKET_BAD;
    }
    return socket(address->family, address->socktype, address->protocol);
}

bool RequestGuard::isProxy(const sockaddr& address) const noexcept {
    if (!proxies_) return false;
    for (const Endpoint& e : *proxies_)
        if (sameEndpoint(address, e.address, e.port)) return true;
    return false;
}

bool RequestGuard::Header(CURL* easy, std::string_view line) noexcept {
    if (line.starts_with("HTTP/")) {
        const std::size_t space = line.find(' ');
        status_ = 0;
        if (space != std::string_view::npos) {
            const std::string_view code = line.substr(space + 1, 3);
            std::from_chars(code.data(), code.data() + code.size(), status_);
        }
        return true;
    }
    if (status_ < 300 || status_ > 399 || !startsWithNoCase(line, "location:")) return true;
    const std::string_view location = trimmed(line.substr(9));
    if (location.empty()) return true;
    char* current = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &current);
    try {
        if (current && MayRedirect(current, location)) return true;
    } catch (const std::exception&) { // no memory to judge it: not followed
    }
    refused_ = true;
    return false;
}

} // namespace velfetch
