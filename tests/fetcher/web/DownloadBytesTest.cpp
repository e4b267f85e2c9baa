#include "HttpFetch.h"
#include "LoopbackSocket.h"
#include "StandinFixture.h"

#include <poll.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using standin::Action;
using velfetch::DownloadBytes;

namespace {

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = char((i * 131 + 7) % 251);
    return s;
}

std::vector<std::uint8_t> asBytes(const std::string& s) { return {s.begin(), s.end()}; }

// A loopback listener whose accept queue is full: new connections are never
// completed, as with a host that does not answer.
class StuffedListener {
public:
    StuffedListener() {
        for (int& fd : fillers_) {
            fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            connect(fd, listener_.address(), sizeof(sockaddr_in));
        }
        // Full once a filler's handshake has completed into the queue; the rest wait.
        pollfd first{fillers_[0], POLLOUT, 0};
        poll(&first, 1, 30000);
    }
    ~StuffedListener() {
        for (int fd : fillers_) close(fd);
    }
    int port() const { return listener_.port(); }

private:
    veltest::LoopbackSocket listener_{0};
    int fillers_[4] = {-1, -1, -1, -1};
};

} // namespace

class Download : public veltest::WithStandin {};

class DownloadBody : public Download, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(DownloadBody, ExactBytesAndCount) {
    const std::string body = pattern(GetParam());
    server.addRule(rule("/img", Action::Body, -1, -1, body));
    std::vector<std::uint8_t> bytes{1, 2, 3};
    EXPECT_EQ(DownloadBytes("http://img.test/img/a.jpg", bytes, http), std::int32_t(body.size()));
    EXPECT_EQ(bytes, asBytes(body));
    EXPECT_EQ(bytes.capacity(), bytes.size()); // trimmed to the exact length
}

// Around the read size (10240) and the growth step (32767), and a body larger than several steps.
INSTANTIATE_TEST_SUITE_P(Sizes, DownloadBody,
                         ::testing::Values(1, 10239, 10240, 10241, 22527, 22528, 30000, 32767, 65534, 300000));

TEST_F(Download, RequestCarriesAgentAndAsksForNoCachedCopy) {
    std::vector<std::uint8_t> bytes;
    DownloadBytes("http://img.test/x.jpg", bytes, http);
    auto seen = server.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "http://img.test/x.jpg");
    EXPECT_EQ(seen[0].userAgent, "velbot");
    EXPECT_TRUE(seen[0].noCache);
    EXPECT_FALSE(seen[0].conditional);
}

TEST_F(Download, EmptyUrlLeavesBytesAndMakesNoRequest) {
    std::vector<std::uint8_t> bytes{9, 8, 7};
    EXPECT_EQ(DownloadBytes("", bytes, http), 0);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{9, 8, 7}));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(Download, RedirectIsFollowed) {
    server.addRule(rule("/old", Action::Redirect, -1, -1, "http://img.test/new"));
    server.addRule(rule("/new", Action::Body, -1, -1, "moved here"));
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(DownloadBytes("http://img.test/old", bytes, http), 10);
    EXPECT_EQ(server.requests(), (std::vector<std::string>{"http://img.test/old", "http://img.test/new"}));
}

TEST_F(Download, NonWebSchemesAreRefused) {
    server.addRule(rule("/old", Action::Redirect, -1, -1, "file:///etc/passwd"));
    std::vector<std::uint8_t> bytes{5};
    EXPECT_EQ(DownloadBytes("file:///etc/passwd", bytes, http), 0);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>{5});
    EXPECT_LE(DownloadBytes("http://img.test/old", bytes, http), 400); // at most the redirect page itself
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("root:"), std::string::npos);
}

TEST_F(Download, NoRequestIntoTheUsersOwnNetwork) {
    // An image address from a reply that names the user's machine: no request, bytes untouched.
    std::vector<std::uint8_t> bytes{5};
    EXPECT_EQ(DownloadBytes("http://127.0.0.1:" + std::to_string(server.port()) + "/x.jpg", bytes, http), 0);
    EXPECT_EQ(DownloadBytes("http://localhost/x.jpg", bytes, http), 0);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>{5});
    // A redirect there is not followed, through the proxy or not.
    server.addRule(rule("/old", Action::Redirect, -1, -1, "http://192.168.1.1/admin"));
    EXPECT_EQ(DownloadBytes("http://img.test/old", bytes, http), 0);
    EXPECT_EQ(server.requests(), std::vector<std::string>{"http://img.test/old"});
}

// Every limit but the one under test lies beyond the test's own time-out: the
// download can only end by that limit, however slow the machine.
constexpr std::chrono::minutes kOutOfReach{10};

struct ReplyCase {
    const char* name;
    Action action;
    long long arg;
    std::string body;
    std::int32_t count; // what DownloadBytes returns
    bool untouched;     // the array keeps what it held; else it holds `count` bytes beginning with `start`
    std::string start = {};
    std::size_t cap = 0; // 0: the default body cap
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class DownloadReply : public Download, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(DownloadReply, CountAndBytes) {
    const auto& c = GetParam();
    server.addRule(rule("/r", c.action, c.arg, -1, c.body));
    if (c.cap) http.maxBodyBytes = c.cap;
    http.deadline = kOutOfReach;
    std::vector<std::uint8_t> bytes{7};
    EXPECT_EQ(DownloadBytes("http://img.test/r", bytes, http), c.count);
    if (c.untouched) {
        EXPECT_EQ(bytes, std::vector<std::uint8_t>{7});
        return;
    }
    ASSERT_EQ(bytes.size(), std::size_t(c.count));
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::ptrdiff_t(c.start.size())), c.start);
}

const std::string kImage = standin::defaultImage();

INSTANTIATE_TEST_SUITE_P(
    Table, DownloadReply,
    ::testing::Values(ReplyCase{"ErrorPageIsData", Action::NotFound, 1500, {}, 1500, false, "<html>"},
                      ReplyCase{"EmptyBodyReleasesTheArray", Action::Body, -1, "", 0, false},
                      ReplyCase{"ResetMidBodyKeepsWhatArrived", Action::Reset, 1000, {}, 1000, false},
                      ReplyCase{"AboveTheCapIsNothing", Action::Huge, 3, {}, 0, false, {}, 1 << 20},
                      ReplyCase{"AtTheCapIsKept", Action::Huge, 1, {}, 1 << 20, false, {}, 1 << 20},
                      ReplyCase{"DripWithinTheLimitsArrivesWhole", Action::Drip, 20, {}, std::int32_t(kImage.size()),
                                false, kImage},
                      // Only the silence limit can end these.
                      ReplyCase{"SilentServerLeavesTheArray", Action::Silence, -1, {}, 0, true},
                      // The first 64 bytes at once, the next long after the silence limit.
                      ReplyCase{"SilenceMidBodyKeepsWhatArrived", Action::Drip, 60000, {}, 64, false,
                                kImage.substr(0, 64)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Download, SlowBodyPastTheDeadlineCountsAsNothing) {
    // 64 bytes a second: the whole image would take over half a minute.
    http.deadline = std::chrono::milliseconds(1500);
    http.silenceTimeout = kOutOfReach;
    server.addRule(rule("/slow", Action::Drip, 1000));
    const auto wholeBody = std::chrono::seconds(standin::defaultImage().size() / 64);
    std::vector<std::uint8_t> bytes{1};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadBytes("http://img.test/slow", bytes, http), 0);
    EXPECT_TRUE(bytes.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, wholeBody) << "ended only when the body was in";
}

TEST_F(Download, ConnectTimeOutEndsTheDownloadUntouched) {
    StuffedListener host;
    http.proxy = "http://127.0.0.1:" + std::to_string(host.port());
    http.connectTimeout = std::chrono::milliseconds(500);
    http.silenceTimeout = kOutOfReach; // only the connect limit can end it
    http.deadline = kOutOfReach;
    std::vector<std::uint8_t> bytes{3};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadBytes("http://img.test/a", bytes, http), 0);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>{3});
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400)); // not refused at once
}

TEST_F(Download, UnreachableProxyReturnsZeroUntouched) {
    const veltest::LoopbackSocket closed(-1);
    http.proxy = "http://127.0.0.1:" + std::to_string(closed.port());
    std::vector<std::uint8_t> bytes{6};
    EXPECT_EQ(DownloadBytes("http://img.test/a", bytes, http), 0);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>{6});
}
