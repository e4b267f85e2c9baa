#include "PublicAddress.h"

#include "CurlHandles.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace velfetch {
namespace {

struct Range {
    std::uint32_t base;
    int bits;
};

constexpr std::uint32_t v4(int a, int b, int c, int d) {
    return std::uint32_t(a) << 24 | std::uint32_t(b) << 16 | std::uint32_t(c) << 8 | std::uint32_t(d);
}

// Everything but the public internet: "this network", private, shared
// (carrier-grade NAT), loopback, link-local, protocol assignments,
// documentation, benchmarking, multicast, reserved and broadcast.
constexpr std::array<Range, 14> kNotPublicV4{{
    {v4(0, 0, 0, 0), 8},
    {v4(10, 0, 0, 0), 8},
    {v4(100, 64, 0, 0), 10},
    {v4(127, 0, 0, 0), 8},
    {v4(169, 254, 0, 0), 16},
    {v4(172, 16, 0, 0), 12},
    {v4(192, 0, 0, 0), 24},
    {v4(192, 0, 2, 0), 24},
    {v4(192, 168, 0, 0), 16},
    {v4(198, 18, 0, 0), 15},
    {v4(198, 51, 100, 0), 24},
    {v4(203, 0, 113, 0), 24},
    {v4(224, 0, 0, 0), 4},
    {v4(240, 0, 0, 0), 4}, // with 255.255.255.255
}};

bool publicV4(std::uint32_t address) {
    return std::none_of(kNotPublicV4.begin(), kNotPublicV4.end(), [&](const Range& r) {
        return (address >> (32 - r.bits)) == (r.base >> (32 - r.bits));
    });
}

std::uint32_t v4At(const std::uint8_t* b) {
    return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | std::uint32_t(b[3]);
}

bool publicV6(const std::uint8_t* b) {
    static constexpr std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    static constexpr std::uint8_t kCompatible[12] = {};
    static constexpr std::uint8_t kNat64[12] = {0, 0x64, 0xff, 0x9b};
    // Forms that carry an IPv4 address reach that address: judged as it.
    for (const std::uint8_t* prefix : {kMapped, kCompatible, kNat64})
        if (std::memcmp(b, prefix, 12) == 0) return publicV4(v4At(b + 12));
    if (b[0] == 0x20 && b[1] == 0x02) return publicV4(v4At(b + 2)); // 6to4
    if (b[0] == 0x20 && b[1] == 0x01 && b[2] == 0x0d && b[3] == 0xb8) return false; // documentation
    // Only global unicast (2000::/3) is public: unique-local, link-local,
    // site-local and multicast all lie outside it.
    return (b[0] & 0xe0) == 0x20;
}

bool isDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool isHexNumber(std::string_view s) {
    return s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') &&
           std::all_of(s.begin() + 2, s.end(), [](unsigned char c) { return std::isxdigit(c); });
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string part(CURLU* url, CURLUPart which) {
    char* text = nullptr;
    if (curl_url_get(url, which, &text, 0) != CURLUE_OK || !text) return {};
    std::string out(text);
    curl_free(text);
    return out;
}

// Libcurl's own reading of a URL, spaces encoded as it does when it follows a redirect.
constexpr unsigned kUrlFlags = CURLU_URLENCODE | CURLU_ALLOW_SPACE;

bool mayRequest(CURLU* url) {
    const std::string scheme = lower(part(url, CURLUPART_SCHEME));
    return (scheme == "http" || scheme == "https") && IsNamedHost(part(url, CURLUPART_HOST));
}

} // namespace

bool IsPublicAddress(const sockaddr& address) {
    if (address.sa_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, &address, sizeof in);
        return publicV4(ntohl(in.sin_addr.s_addr));
    }
    if (address.sa_family == AF_INET6) {
        sockaddr_in6 in{};
        std::memcpy(&in, &address, sizeof in);
        return publicV6(in.sin6_addr.s6_addr);
    }
    return false;
}

bool IsPublicAddress(std::string_view text) {
    const std::string s(text);
    in_addr a4{};
    if (inet_pton(AF_INET, s.c_str(), &a4) == 1) return publicV4(ntohl(a4.s_addr));
    in6_addr a6{};
    if (inet_pton(AF_INET6, s.c_str(), &a6) == 1) return publicV6(a6.s6_addr);
    return false;
}

bool IsNamedHost(std::string_view host) {
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    if (host.empty() || host.front() == '.' || host.find("..") != std::string_view::npos) return false;
    // Brackets, colons, '%' and non-ASCII bytes (which name mapping may turn
    // into digits) all fail here.
    if (!std::all_of(host.begin(), host.end(), [](unsigned char c) {
            return (c < 0x80 && std::isalnum(c)) || c == '-' || c == '_' || c == '.';
        }))
        return false;
    // A host whose last label is a number is an IPv4 address to URL parsers
    // ("2130706433", "0177.0.0.1", "0x7f.1"): no public name ends so.
    const std::string_view last = host.substr(host.rfind('.') + 1);
    if (isDigits(last) || isHexNumber(last)) return false;
    const std::string name = lower(host);
    return name != "localhost" && !name.ends_with(".localhost");
}

bool MayRequest(std::string_view url) {
    const CurlUrl u(curl_url());
    return u && curl_url_set(u.get(), CURLUPART_URL, std::string(url).c_str(), kUrlFlags) == CURLUE_OK &&
           mayRequest(u.get());
}

bool MayRedirect(std::string_view from, std::string_view location) {
    const CurlUrl u(curl_url());
    if (!u || curl_url_set(u.get(), CURLUPART_URL, std::string(from).c_str(), kUrlFlags) != CURLUE_OK) return false;
    const std::string fromScheme = lower(part(u.get(), CURLUPART_SCHEME));
    // Setting a URL over one already set resolves it relative to the first.
    if (curl_url_set(u.get(), CURLUPART_URL, std::string(location).c_str(), kUrlFlags) != CURLUE_OK) return false;
    if (fromScheme == "https" && lower(part(u.get(), CURLUPART_SCHEME)) != "https") return false;
    return mayRequest(u.get());
}

} // namespace velfetch
