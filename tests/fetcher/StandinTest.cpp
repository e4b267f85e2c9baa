// The stand-in server as demos and benchmarks use it: rule specs, and the
// velstandin program steered by a scenario file, logging each request line.
#include "HttpFetch.h"
#include "StandinServer.h"
#include "TempFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

struct RuleCase {
    const char* name;
    std::string text;
    bool valid;
    standin::Action action;
    std::string match;
    long long arg;
    int times;
};

class RuleSpec : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleSpec, Parsed) {
    const auto& c = GetParam();
    std::string error;
    auto rule = standin::parseRule(c.text, &error);
    ASSERT_EQ(rule.has_value(), c.valid) << error;
    if (!c.valid) {
        EXPECT_FALSE(error.empty());
        return;
    }
    EXPECT_EQ(rule->action, c.action);
    EXPECT_EQ(rule->match, c.match);
    EXPECT_EQ(rule->arg, c.arg);
    EXPECT_EQ(rule->times, c.times);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RuleSpec,
    ::testing::Values(
        RuleCase{"ShortFiveTimes", "match=page=1& action=short times=5", true, standin::Action::Short, "page=1&", -1, 5},
        RuleCase{"DripWithPace", "action=drip arg=250", true, standin::Action::Drip, "", 250, -1},
        RuleCase{"NotFound", "match=/search action=404", true, standin::Action::NotFound, "/search", -1, -1},
        RuleCase{"NoAction", "match=x", false, {}, {}, 0, 0},
        RuleCase{"UnknownAction", "action=explode", false, {}, {}, 0, 0},
        RuleCase{"BadNumber", "action=huge arg=lots", false, {}, {}, 0, 0},
        RuleCase{"NotKeyValue", "action=short oops", false, {}, {}, 0, 0},
        RuleCase{"MissingFile", "action=body file=/nonexistent/reply.xml", false, {}, {}, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StandinProgram, ScenarioSteersRepliesAndRequestLinesAreLogged) {
    veltest::TempFolder folder;
    folder.write("scenario", "# no results, and the search page answers short twice\n"
                             "results 0\n"
                             "rule match=/search action=short times=2\n");
    std::string program = VEL_STANDIN_PROGRAM, scenarioFlag = "--scenario", scenario = folder.file("scenario"),
                logFlag = "--log", log = folder.file("requests.log"), limitFlag = "--max-seconds", limit = "30";
    std::string out = folder.file("out");
    char* argv[] = {program.data(), scenarioFlag.data(), scenario.data(), logFlag.data(), log.data(),
                    limitFlag.data(), limit.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    int port = 0;
    for (int i = 0; i < 200 && port == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream in(out);
        std::string word;
        if (in >> word >> port && word != "port") port = 0;
    }
    ASSERT_GT(port, 0);

    velfetch::HttpSettings http;
    http.proxy = "http://127.0.0.1:" + std::to_string(port);
    std::vector<std::uint8_t> bytes;
    const std::string engine = "http://www.google.co.jp/search?hl=ja&q=x&lr=lang_ja";
    const std::int32_t first = velfetch::DownloadBytes(engine, bytes, http);
    velfetch::DownloadBytes(engine, bytes, http);
    const std::int32_t third = velfetch::DownloadBytes(engine, bytes, http);
    const std::int32_t probe =
        velfetch::DownloadBytes("http://xml.amazon.co.jp/onca/xml3?KeywordSearch=x&page=1", bytes, http);
    const std::string reply(bytes.begin(), bytes.end());

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_LE(first, 800);
    EXPECT_GT(third, 800);
    EXPECT_GT(probe, 800);
    EXPECT_NE(reply.find("<TotalResults>0</TotalResults>"), std::string::npos);
    EXPECT_EQ(folder.read("requests.log"), "GET " + engine + " HTTP/1.1\nGET " + engine + " HTTP/1.1\nGET " + engine +
                                               " HTTP/1.1\nGET http://xml.amazon.co.jp/onca/xml3?KeywordSearch=x&page=1 HTTP/1.1\n");
}
