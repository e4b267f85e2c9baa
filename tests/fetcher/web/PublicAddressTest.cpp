// Which addresses, hosts and redirects a reply may send the fetcher to, and
// the connection-time check of a name that resolves into the user's network.
#include "PublicAddress.h"
#include "RequestGuard.h"
#include "StandinServer.h"

#include <gtest/gtest.h>

#include <memory>

using namespace velfetch;

namespace {

struct Verdict {
    const char* text;
    bool allowed;
};
void PrintTo(const Verdict& v, std::ostream* os) { *os << v.text; }

class Address : public ::testing::TestWithParam<Verdict> {};
TEST_P(Address, IsPublic) { EXPECT_EQ(IsPublicAddress(GetParam().text), GetParam().allowed); }
INSTANTIATE_TEST_SUITE_P(
    Table, Address,
    ::testing::Values(Verdict{"127.0.0.1", false}, Verdict{"127.255.0.9", false}, Verdict{"10.1.2.3", false},
                      Verdict{"172.16.0.1", false}, Verdict{"172.31.255.255", false}, Verdict{"172.32.0.1", true},
                      Verdict{"192.168.1.1", false}, Verdict{"100.64.0.1", false}, Verdict{"100.127.255.255", false},
                      Verdict{"100.128.0.1", true}, Verdict{"169.254.169.254", false}, Verdict{"0.0.0.0", false},
                      Verdict{"224.0.0.1", false}, Verdict{"255.255.255.255", false}, Verdict{"93.184.216.34", true},
                      Verdict{"::", false}, Verdict{"::1", false}, Verdict{"fe80::1", false}, Verdict{"fc00::1", false},
                      Verdict{"fd12:3456::1", false}, Verdict{"ff02::1", false}, Verdict{"::ffff:127.0.0.1", false},
                      Verdict{"::ffff:192.168.0.1", false}, Verdict{"::ffff:93.184.216.34", true},
                      Verdict{"64:ff9b::7f00:1", false}, Verdict{"2002:c0a8:101::1", false},
                      Verdict{"2606:4700::1111", true}, Verdict{"not an address", false}));

class Request : public ::testing::TestWithParam<Verdict> {};
TEST_P(Request, MayBeMade) { EXPECT_EQ(MayRequest(GetParam().text), GetParam().allowed); }
INSTANTIATE_TEST_SUITE_P(
    Table, Request,
    ::testing::Values(Verdict{"https://coverartarchive.org/release/x/front-250", true},
                      Verdict{"http://archive.org./download/a.jpg", true},
                      Verdict{"https://is1-ssl.mzstatic.com:443/image/100x100bb.jpg", true},
                      Verdict{"http://127.0.0.1/x.jpg", false}, Verdict{"http://2130706433/x.jpg", false},
                      Verdict{"http://0177.0.0.1/x.jpg", false}, Verdict{"http://0x7f.1/x.jpg", false},
                      Verdict{"http://127.1/x.jpg", false}, Verdict{"http://user@127.0.0.1:8080/x.jpg", false},
                      Verdict{"http://93.184.216.34/x.jpg", false}, Verdict{"http://localhost/x.jpg", false},
                      Verdict{"http://localhost./x.jpg", false}, Verdict{"http://LocalHost:631/x.jpg", false},
                      Verdict{"http://printer.localhost/x.jpg", false}, Verdict{"http://[::1]/x.jpg", false},
                      Verdict{"http://[::ffff:127.0.0.1]/x.jpg", false},
                      Verdict{"http://[2606:4700::1111]/x.jpg", false},
                      Verdict{"http://\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x97.0.0.1/x.jpg", false}, // full-width digits
                      Verdict{"ftp://archive.org/x.jpg", false}, Verdict{"file:///etc/passwd", false},
                      Verdict{"not a url", false}));

struct Hop {
    const char* from;
    const char* location;
    bool allowed;
};
void PrintTo(const Hop& h, std::ostream* os) { *os << h.from << " -> " << h.location; }

class Redirect : public ::testing::TestWithParam<Hop> {};
TEST_P(Redirect, MayBeFollowed) { EXPECT_EQ(MayRedirect(GetParam().from, GetParam().location), GetParam().allowed); }
constexpr char kCaa[] = "https://coverartarchive.org/release/x/front-250";
INSTANTIATE_TEST_SUITE_P(
    Table, Redirect,
    ::testing::Values(Hop{kCaa, "https://archive.org/download/x/x-1_thumb250.jpg", true},
                      Hop{kCaa, "/download/x.jpg", true}, Hop{kCaa, "http://archive.org/download/x.jpg", false},
                      Hop{kCaa, "https://127.0.0.1:8443/x.jpg", false}, Hop{kCaa, "//localhost/x.jpg", false},
                      Hop{kCaa, "https://169.254.169.254/latest/meta-data/", false},
                      Hop{kCaa, "file:///etc/passwd", false}, Hop{"http://img.test/old", "http://img.test/new", true},
                      Hop{"http://img.test/old", "https://img.test/new", true},
                      Hop{"http://img.test/old", "http://192.168.1.1/", false}));

// A name that resolves to a loopback address: refused when connecting
// directly, passed when the loopback address and port are the user's proxy,
// which the guard knows by its address or its name, and whose port, when the
// setting names none, is libcurl's own (1080; 443 for https://).
struct Route {
    const char* name;
    std::string guardProxy; // "PORT" stands for the stand-in's port
    bool throughProxy;      // libcurl connects through guardProxy, else directly
};
void PrintTo(const Route& r, std::ostream* os) { *os << r.name; }

class Connect : public ::testing::TestWithParam<Route> {};
TEST_P(Connect, LoopbackOnlyAsTheProxy) {
    const Route& route = GetParam();
    standin::Server server;
    ASSERT_TRUE(server.start());
    const std::string port = std::to_string(server.port());
    std::string proxy = route.guardProxy;
    if (const auto at = proxy.find("PORT"); at != std::string::npos) proxy.replace(at, 4, port);
    RequestGuard guard(proxy);

    std::unique_ptr<CURL, void (*)(CURL*)> easy(curl_easy_init(), curl_easy_cleanup);
    CURL* h = easy.get();
    const std::string url = "http://images.example.com:" + port + "/x.jpg";
    const std::string pin = "images.example.com:" + port + ":127.0.0.1";
    curl_slist* resolve = curl_slist_append(nullptr, pin.c_str());
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_RESOLVE, resolve);
    curl_easy_setopt(h, CURLOPT_PROXY, route.throughProxy ? proxy.c_str() : "");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, +[](char*, std::size_t s, std::size_t n, void*) { return s * n; });
    guard.Attach(h, std::chrono::steady_clock::now() + std::chrono::seconds(30));
    const CURLcode result = curl_easy_perform(h);
    curl_slist_free_all(resolve);
    EXPECT_EQ(result == CURLE_OK, route.throughProxy);
    EXPECT_EQ(guard.refused(), !route.throughProxy);
    EXPECT_EQ(server.requests().size(), route.throughProxy ? 1u : 0u);
}
INSTANTIATE_TEST_SUITE_P(
    Table, Connect,
    ::testing::Values(Route{"ViaProxy", "http://127.0.0.1:PORT", true},
                      Route{"ViaProxyNamed", "http://localhost:PORT", true},
                      Route{"DirectWithAProxyElsewhere", "http://192.0.2.1:3128", false},
                      Route{"DirectToTheProxyHostWithoutPort", "http://127.0.0.1", false},
                      Route{"DirectToTheHttpsProxyHostWithoutPort", "https://127.0.0.1", false},
                      Route{"DirectToTheNamedProxyHostWithoutPort", "localhost", false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
