// HTTPS through the proxy to the TLS stand-in: the certificate is checked
// against the CA given, and no server holds a request past its end or its size cap.
#include "CurlWebClient.h"
#include "StandinServer.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using velfetch::opencatalog::CurlWebClient;

namespace {

const std::string kCerts = VEL_STANDIN_CERTS;

class Https : public ::testing::Test {
protected:
    void SetUp() override {
        server.enableTls({kCerts + "/server.pem", kCerts + "/server.key"});
        ASSERT_TRUE(server.start());
        http.proxy = server.proxyUrl();
    }
    standin::Server server;
    velfetch::HttpSettings http;
};

TEST_F(Https, VerifiedAgainstTheCaGiven) {
    const auto end = std::chrono::steady_clock::now() + 45s; // a ceiling only: the replies come at once
    const auto reply =
        CurlWebClient(http, kCerts + "/ca.pem").Get("https://itunes.apple.com/search?term=x", end, 1 << 20);
    EXPECT_TRUE(reply.ok());
    // A bundle without the stand-in's CA: the tunnel opens, the TLS handshake fails.
    EXPECT_FALSE(CurlWebClient(http, "/dev/null").Get("https://itunes.apple.com/search?term=x", end, 1 << 20).complete);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(Https, SilentOrHugeRepliesEndInTime) {
    server.addRule({"musicbrainz.org", standin::Action::Silence, -1, {}, -1});
    server.addRule({"itunes.apple.com", standin::Action::Huge, 8, {}, -1});
    // The settings' own limits lie beyond the test's time-out: only the end given
    // to each request, or its size cap, can end it.
    http.silenceTimeout = std::chrono::minutes(10);
    http.deadline = std::chrono::minutes(10);
    CurlWebClient web(http, kCerts + "/ca.pem");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(web.Get("https://musicbrainz.org/ws/2/recording?query=x", start + 1500ms, 1 << 20).complete);
    const auto never = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    EXPECT_FALSE(web.Get("https://itunes.apple.com/search?term=x", never, 1 << 20).complete); // 8 MiB against 1
}

} // namespace
