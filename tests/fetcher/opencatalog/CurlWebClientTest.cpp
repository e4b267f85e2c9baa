// HTTPS through the proxy to the TLS stand-in: the certificate is checked
// against the CA given, and no server holds a request past its end or its size cap.
#include "CurlWebClient.h"
#include "EventWaits.h"
#include "StandinServer.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <thread>

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

// Retry-After as delay seconds or as an HTTP date, as a wait from now.
TEST_F(Https, RetryAfterInBothForms) {
    auto httpDate = [](std::time_t t) {
        char text[64];
        std::tm tm{};
        std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", gmtime_r(&t, &tm));
        return std::string(text);
    };
    const std::time_t now = std::time(nullptr);
    const std::pair<std::string, std::chrono::seconds> cases[] = {
        {"120", 120s}, {httpDate(now + 3600), 3600s}, {httpDate(now - 3600), 0s}, {"soon", 0s},
        {"99999999999", 86400s}, {"", 0s}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        server.addRule({"case" + std::to_string(i), standin::Action::Status, 503, cases[i].first, -1});
    }
    CurlWebClient web(http, kCerts + "/ca.pem");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto reply = web.Get("https://musicbrainz.org/ws/2/case" + std::to_string(i),
                                   std::chrono::steady_clock::now() + 10s, 1 << 20);
        EXPECT_EQ(reply.status, 503) << cases[i].first;
        EXPECT_NEAR(double(reply.retryAfter.count()), double(cases[i].second.count()), 5) << cases[i].first;
    }
}

// A request no longer wanted ends as no answer, though the server is silent.
TEST_F(Https, StoppedRequestEndsEarly) {
    server.addRule({"musicbrainz.org", standin::Action::Silence, -1, {}, -1});
    CurlWebClient web(http, kCerts + "/ca.pem");
    veltest::TempFolder folder;
    veltest::FolderWatch watch(folder.path());
    server.setLogFile(folder.file("log")); // a GET line once the request has come through the tunnel
    std::stop_source stop;
    std::thread stopper([&] {
        watch.waitFor([&] { return folder.read("log").value_or("").find("GET ") != std::string::npos; });
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    const auto reply = web.GetUnlessStopped(stop.get_token(), "https://musicbrainz.org/ws/2/release/x", start + 20s,
                                            1 << 20);
    stopper.join();
    EXPECT_FALSE(reply.complete);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

} // namespace
