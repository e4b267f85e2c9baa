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

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace veltest {

// 128 bytes at the end of an MP3-ish file: "TAG", title, artist, album, year, comment, genre.
inline std::string withId3v1(const std::string& title, const std::string& artist, const std::string& album = "Album") {
    std::string tag = "TAG";
    auto field = [&](const std::string& s, std::size_t n) {
        tag += s.substr(0, n) + std::string(n - std::min(n, s.size()), '\0');
    };
    field(title, 30);
    field(artist, 30);
    field(album, 30);
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
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            // Nothing from the caller's network settings may bypass or replace the stand-in.
            bool drop = false;
            for (const char* k : {"http_proxy=", "HTTP_PROXY=", "https_proxy=", "HTTPS_PROXY=", "no_proxy=",
                                  "NO_PROXY=", "all_proxy=", "ALL_PROXY=", "CURL_CA_BUNDLE=", "SSL_CERT_FILE="})
                drop |= v.rfind(k, 0) == 0;
            if (!drop) env.push_back(v);
        }
        const std::string via = proxy.empty() ? server.proxyUrl() : proxy;
        env.push_back("http_proxy=" + via);
        env.push_back("https_proxy=" + via);
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> envp, argv;
        for (auto& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        // GNU time runs the program and writes down its own peak memory: the
        // program's rusage from here would count this test process too, whose
        // memory a spawned child shares until it loads its own image.
        char peakFile[] = "/tmp/velfetch-peak-XXXXXX";
        const int peakFd = mkstemp(peakFile);
        if (peakFd >= 0) close(peakFd);
        std::string time = "/usr/bin/time", format = "-f", formatText = "%M", quiet = "-q", output = "-o";
        std::string program = folder.file("velfetch");
        const bool timed = peakFd >= 0 && access(time.c_str(), X_OK) == 0;
        if (timed)
            for (std::string* a : {&time, &quiet, &format, &formatText, &output}) {
                argv.push_back(a->data());
                if (a == &output) argv.push_back(peakFile);
            }
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP); // its own group: killed with its child
        posix_spawnattr_setpgroup(&attributes, 0);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], nullptr, &attributes, argv.data(), envp.data());
        posix_spawnattr_destroy(&attributes);
        if (spawned != 0) return -2;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(45); // a ceiling only
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(-pid, SIGKILL);
                waitpid(pid, &status, 0);
                unlink(peakFile);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        peakKiB = 0;
        if (timed) std::ifstream(peakFile) >> peakKiB;
        unlink(peakFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
    }

    long peakKiB = 0; // the last run's peak resident memory; 0: not measured (no GNU time)

    standin::Server server;
    TempFolder folder;
};

} // namespace veltest
