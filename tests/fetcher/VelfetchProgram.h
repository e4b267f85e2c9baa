#pragma once
// Runs the real velfetch program in a temporary application folder, reaching
// the stand-in server through the proxy settings of the environment.
#include "EventWaits.h"
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
        std::filesystem::copy_file(VEL_TAG_PLUGIN_FILE, folder.file("libvbmp3tags.so"));
        std::filesystem::copy_file(VEL_PICTURE_PLUGIN_FILE, folder.file("libvelpictures.so"));
    }

    // Runs velfetch with these arguments, both proxy settings naming `proxy`
    // (the stand-in by default) and `extraEnv` added; returns its exit status
    // (-1: killed after the time limit) and notes its peak memory.
    int run(const std::vector<std::string>& args, const std::string& proxy = {},
            const std::vector<std::string>& extraEnv = {}) {
        // GNU time runs the program and writes down its own peak memory: the
        // program's rusage from here would count this test process too, whose
        // memory a spawned child shares until it loads its own image.
        char peakFile[] = "/tmp/velfetch-peak-XXXXXX";
        const int peakFd = mkstemp(peakFile);
        if (peakFd >= 0) close(peakFd);
        const bool timed = peakFd >= 0 && access("/usr/bin/time", X_OK) == 0;
        const int status = finish(spawn(args, proxy, extraEnv, {}, timed ? peakFile : nullptr));
        peakKiB = 0;
        if (timed && status != -1) std::ifstream(peakFile) >> peakKiB;
        if (peakFd >= 0) unlink(peakFile);
        return status;
    }

    // The same, without waiting: the velfetch process itself (0: it could not
    // be started), from `appFolder` when one is given.
    pid_t start(const std::vector<std::string>& args, const std::string& proxy = {},
                const std::vector<std::string>& extraEnv = {}, const std::string& appFolder = {}) {
        return spawn(args, proxy, extraEnv, appFolder, nullptr);
    }

    // Waits for the process (its group killed after a generous ceiling); its
    // exit status as run() gives it.
    int finish(pid_t pid) {
        if (pid == 0) return -2;
        int status = 0;
        if (!endsWithin(pid, std::chrono::seconds(45))) { // a ceiling only
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
    }

    long peakKiB = 0; // the last run's peak resident memory; 0: not measured (no GNU time)

    standin::Server server;
    TempFolder folder;
    TempFolder home; // XDG_CACHE_HOME and XDG_RUNTIME_DIR live here

private:
    // Its cache and runtime folders are the test's own (`home`), so that no
    // test shares kept answers or a request pace with the user or another test.
    // With `peakFile`, GNU time runs it and writes its peak memory there.
    pid_t spawn(const std::vector<std::string>& args, const std::string& proxy,
                const std::vector<std::string>& extraEnv, const std::string& appFolder, char* peakFile) {
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
        std::string time = "/usr/bin/time", format = "-f", formatText = "%M", quiet = "-q", output = "-o";
        std::string program = appFolder.empty() ? folder.file("velfetch") : appFolder + "/velfetch";
        if (peakFile)
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
        return spawned == 0 ? pid : 0;
    }
};

} // namespace veltest
