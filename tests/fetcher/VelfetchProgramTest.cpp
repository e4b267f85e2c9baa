// Runs the real velfetch program in a temporary application folder, reaching
// the stand-in server through the http_proxy setting.
#include "StandinServer.h"
#include "TempFolder.h"
#include "vbmp3_abi.h"

#include <dlfcn.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

const std::string kStem = "http://xml.amazon.co.jp/onca/xml3?t=plovtarnime-22&dev-t=KQ7TRZWX3HPLM";

std::string keyword(const std::string& words, int page) {
    return kStem + "&KeywordSearch=" + words + "&mode=music-jp&type=heavy&locale=jp&page=" + std::to_string(page) +
           "&f=xml";
}

// 128 bytes at the end of an MP3-ish file: "TAG", title, artist, album, year, comment, genre.
std::string withId3v1(const std::string& title, const std::string& artist) {
    std::string tag = "TAG";
    auto field = [&](const std::string& s, std::size_t n) { tag += s.substr(0, n) + std::string(n - std::min(n, s.size()), '\0'); };
    field(title, 30);
    field(artist, 30);
    field("Album", 30);
    field("2004", 4);
    field("", 30);
    tag += char(17);
    return std::string(4096, '\x55') + tag;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        std::filesystem::copy_file(VEL_FETCH_PROGRAM, folder.file("velfetch"));
        std::filesystem::copy_file(VEL_DECODER_LIBRARY, folder.file("libvbmp3.so"));
    }

    // Runs velfetch with these arguments; returns its exit status (-1: killed after the time limit).
    int run(const std::vector<std::string>& args, const std::string& proxy = {}) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            // Nothing from the caller's network settings may bypass or replace the stand-in.
            bool drop = false;
            for (const char* k : {"http_proxy=", "HTTP_PROXY=", "no_proxy=", "NO_PROXY=", "all_proxy=", "ALL_PROXY="})
                drop |= v.rfind(k, 0) == 0;
            if (!drop) env.push_back(v);
        }
        env.push_back("http_proxy=" + (proxy.empty() ? server.proxyUrl() : proxy));
        std::vector<char*> envp, argv;
        for (auto& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string program = folder.file("velfetch");
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);

        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return -2;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
    }

    standin::Server server;
    veltest::TempFolder folder;
};

} // namespace

TEST_F(Program, CatalogueHitThroughTheProxySetting) {
    folder.write("temp.jpg", std::string(9000, 'o'));
    EXPECT_EQ(run({"\"" + folder.file("My Song [MP3].mp3") + "\""}), 0);
    EXPECT_EQ(server.requests(),
              (std::vector<std::string>{keyword("My+Song++", 1), keyword("My+Song++", 1),
                                        "http://img.standin.invalid/images/B000000001.MZZZZZZZ.jpg"}));
    EXPECT_EQ(server.seen().at(0).userAgent, "velbot");
    EXPECT_EQ(folder.read("temp.jpg"), standin::defaultImage());
    EXPECT_EQ(folder.read("asin"), "B000000001");
}

TEST_F(Program, ArgumentsAreJoinedBySingleSpaces) {
    EXPECT_EQ(run({"\"/m/My", "Song.mp3\""}), 0);
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests()[0], keyword("My+Song+", 1));
}

TEST_F(Program, EmptyCommandLineMakesNoRequest) {
    folder.write("temp.jpg", "old");
    folder.write("asin", "OLD");
    EXPECT_EQ(run({}), 0);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(folder.read("temp.jpg"), "old");
    EXPECT_EQ(folder.read("asin"), "OLD");
}

TEST_F(Program, UnreachableProxyEndsWithNoHit) {
    const std::string proxy = server.proxyUrl();
    server.stop();
    folder.write("temp.jpg", "old");
    EXPECT_EQ(run({"\"/m/Song.mp3\""}, proxy), 0);
    EXPECT_EQ(folder.read("temp.jpg"), std::nullopt);
    EXPECT_EQ(folder.read("asin"), "");
}

TEST_F(Program, MissingDecoderLibraryIsReportedWithoutNetwork) {
    std::filesystem::remove(folder.file("libvbmp3.so"));
    EXPECT_EQ(run({"\"/m/Song.mp3\""}), 3);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(Program, TagWordsThroughTheDecoderLibrary) {
    std::ofstream(folder.file("track.mp3"), std::ios::binary) << withId3v1("Bar Title", "Foo Artist");
    {
        // Until the decoder library reads ID3v1 tags this case cannot run.
        void* lib = dlopen(VEL_DECODER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr);
        auto read = reinterpret_cast<int32_t (*)(const char*, uint8_t*)>(dlsym(lib, "vbmp3_getFileTagInfoEX"));
        uint8_t record[656] = {};
        const bool reads = read && read(folder.file("track.mp3").c_str(), record) != 0;
        dlclose(lib);
        if (!reads) GTEST_SKIP() << "the decoder library in the build reads no tags yet";
    }
    EXPECT_EQ(run({"\"" + folder.file("track.mp3") + "\""}), 0);
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests()[0], keyword("Foo+Artist+Bar+Title", 1));
}
