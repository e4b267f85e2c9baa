#pragma once
// Runs the real velfetch program in a temporary application folder, reaching
// the stand-in server through the proxy settings of the environment.
#include "StandinServer.h"
#include "TempFolder.h"

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace veltest {

// 128 bytes at the end of an MP3-ish file: "TAG", title, artist, album, year, comment, genre.
inline std::string withId3v1(const std::string& title, const std::string& artist) {
    std::string tag = "TAG";
    auto field = [&](const std::string& s, std::size_t n) {
        tag += s.substr(0, n) + std::string(n - std::min(n, s.size()), '\0');
    };
    field(title, 30);
    field(artist, 30);
    field("Album", 30);
    field("2004", 4);
    field("", 30);
    tag += char(17);
    return std::string(4096, '\x55') + tag;
}

class VelfetchProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        std::filesystem::copy_file(VEL_FETCH_PROGRAM, folder.file("velfetch"));
        std::filesystem::copy_file(VEL_DECODER_LIBRARY, folder.file("libvbmp3.so"));
    }

    // Runs velfetch with these arguments, both proxy settings naming `proxy`
    // (the stand-in by default) and `extraEnv` added; returns its exit status
    // (-1: killed after the time limit).
    int run(const std::vector<std::string>& args, const std::string& proxy = {},
            const std::vector<std::string>& extraEnv = {}) {
        return finish(start(args, proxy, extraEnv));
    }

    // The same, without waiting: the process (0: it could not be started).
    // Its cache and runtime folders are the test's own (`home`), so that no
    // test shares kept answers or a request pace with the user or another test.
    pid_t start(const std::vector<std::string>& args, const std::string& proxy = {},
                const std::vector<std::string>& extraEnv = {}, const std::string& appFolder = {}) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            // Nothing from the caller's network settings may bypass or replace the stand-in.
            bool drop = false;
            for (const char* k : {"http_proxy=", "HTTP_PROXY=", "https_proxy=", "HTTPS_PROXY=", "no_proxy=",
                                  "NO_PROXY=", "all_proxy=", "ALL_PROXY=", "CURL_CA_BUNDLE=", "SSL_CERT_FILE=",
                                  "XDG_CACHE_HOME=", "XDG_RUNTIME_DIR="})
                drop |= v.rfind(k, 0) == 0;
            if (!drop) env.push_back(v);
        }
        const std::string via = proxy.empty() ? server.proxyUrl() : proxy;
        env.push_back("http_proxy=" + via);
        env.push_back("https_proxy=" + via);
        env.insert(env.end(), extraEnv.begin(), extraEnv.end()); // the first of a name counts
        env.push_back("XDG_CACHE_HOME=" + home.file("cache"));
        env.push_back("XDG_RUNTIME_DIR=" + home.file("run"));
        std::vector<char*> envp, argv;
        for (auto& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string program = appFolder.empty() ? folder.file("velfetch") : appFolder + "/velfetch";
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);

        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return 0;
        return pid;
    }

    // Waits for the process (killed after 20 s); its exit status as run() gives it.
    int finish(pid_t pid) {
        if (pid == 0) return -2;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int status = 0;
        struct rusage usage {};
        while (wait4(pid, &status, WNOHANG, &usage) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        peakKiB = usage.ru_maxrss;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
    }

    long peakKiB = 0; // the last run's peak resident memory

    standin::Server server;
    TempFolder folder;
    TempFolder home; // XDG_CACHE_HOME and XDG_RUNTIME_DIR live here
};

} // namespace veltest
