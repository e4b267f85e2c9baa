#pragma once
// Holds one libcurl transfer to the public-address rule: every direct
// connection goes to a public address (judged as connected, so a name that
// resolves to 127.0.0.1 is caught), and every redirect is judged before it is
// followed. The user's own proxy is always reachable.
#include "CurlHandles.h"

#include <sys/socket.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velfetch {

class RequestGuard {
public:
    // `proxy`: the proxy given for every host; empty: those of the
    // environment, which libcurl reads (http_proxy, https_proxy, all_proxy).
    explicit RequestGuard(std::string proxy = {});

    // Sets the socket callback on `easy` (again after each curl_easy_reset)
    // and starts a new transfer. The proxies' addresses are looked up once,
    // before the first transfer, and by `lookUpEnd` at the latest: no look-up
    // ever runs inside libcurl's callbacks.
    void Attach(CURL* easy, std::chrono::steady_clock::time_point lookUpEnd);
    // The addresses of the proxies named by a host name, for CURLOPT_RESOLVE,
    // so that libcurl connects to the very addresses judged here; null when
    // there are none.
    curl_slist* ProxyPins() const { return pins_.get(); }
    // To be fed each response header line of the transfer; false when the
    // line announces a redirect that must not be followed, which the caller
    // then ends by returning a short count to libcurl.
    bool Header(CURL* easy, std::string_view line) noexcept;
    // The transfer tried to reach what the rule forbids.
    bool refused() const { return refused_; }

private:
    struct Endpoint {
        sockaddr_storage address{};
        int port = 0;
    };
    static curl_socket_t openSocket(void* self, curlsocktype purpose, curl_sockaddr* address) noexcept;
    void lookUpProxies(std::chrono::steady_clock::time_point end);
    bool isProxy(const sockaddr& address) const noexcept;

    std::string proxy_;
    std::optional<std::vector<Endpoint>> proxies_;
    CurlList pins_; // "host:port:address,..." of named proxies
    long status_ = 0;
    bool refused_ = false;
};

} // namespace velfetch
