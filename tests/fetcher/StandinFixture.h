#pragma once
// A running stand-in server and download settings that reach it through the proxy.
#include "HttpFetch.h"
#include "StandinServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace veltest {

class WithStandin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        http.proxy = server.proxyUrl();
        // Short limits so that silent or slow servers do not stretch the run.
        http.silenceTimeout = std::chrono::milliseconds(1500);
        http.deadline = std::chrono::milliseconds(6000);
    }

    standin::Rule rule(std::string match, standin::Action action, long long arg = -1, int times = -1,
                       std::string body = {}) {
        standin::Rule r;
        r.match = std::move(match);
        r.action = action;
        r.arg = arg;
        r.times = times;
        r.body = std::move(body);
        return r;
    }

    standin::Server server;
    velfetch::HttpSettings http;
};

} // namespace veltest
