// The player ending the real fetcher at random moments of its run, as a new
// track does: no temporary file may stay behind, and "temp.jpg" and "asin"
// hold either the old bytes or the new ones.
#include "StandinServer.h"
#include "cover/FetcherProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// The fetcher reaches the stand-in through the proxy setting it inherits.
class ProxyEnvironment {
public:
    explicit ProxyEnvironment(const std::string& proxy) {
        for (const char* name : {"http_proxy", "https_proxy"}) setenv(name, proxy.c_str(), 1);
        for (const char* name : {"HTTPS_PROXY", "no_proxy", "NO_PROXY"}) unsetenv(name);
    }
    ~ProxyEnvironment() {
        for (const char* name : {"http_proxy", "https_proxy"}) unsetenv(name);
    }
};

TEST(FetcherEnd, EndedAtAnyMomentLeavesNoTemporaryFileAndWholeHandOffFiles) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString app = tmp.path();
    for (const char* f : {"velfetch", "libvbmp3.so"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(VEL_BIN_DIR "/") + f, app + "/" + f));

    standin::Config config;
    config.imageBytes = std::string(std::size_t(4) << 20, 'j'); // big enough that kills land in its write
    standin::Server server(config);
    ASSERT_TRUE(server.start());
    ProxyEnvironment proxy(server.proxyUrl());

    const QByteArray oldImage = "old cover", oldAsin = "OLDASIN";
    const QString program = app + "/velfetch", track = "\"" + app + "/Song.mp3\"";
    velplay::FetcherProcess fetcher;

    // One run to its end gives the new bytes and the span of the kill moments.
    const auto start = Clock::now();
    ASSERT_EQ(fetcher.start(program.toStdString(), track.toStdString()), 0);
    siginfo_t ended{}; // waited for without reaping: stillActive() reaps it
    ASSERT_EQ(waitid(P_PID, id_t(fetcher.pid()), &ended, WEXITED | WNOWAIT), 0);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    ASSERT_FALSE(fetcher.stillActive());
    const QByteArray newImage = readAll(app + "/temp.jpg"), newAsin = readAll(app + "/asin");
    ASSERT_EQ(newImage.size(), qsizetype(config.imageBytes.size()));

    // Kill moments over one and a half runs, from a window that follows the machine's
    // pace: widened after a streak of kills that all came before the save, narrowed
    // after a streak that all came after it, until both kinds have been seen.
    std::mt19937 random(20261207);
    long long window = span.count() * 3 / 2;
    int whole = 0, rounds = 0, streak = 0; // streak: > 0 kills after the save in a row, < 0 before
    for (; rounds < 150 || ((whole == 0 || whole == rounds) && rounds < 1000); ++rounds) {
        writeAll(app + "/temp.jpg", oldImage);
        writeAll(app + "/asin", oldAsin);
        ASSERT_EQ(fetcher.start(program.toStdString(), track.toStdString()), 0);
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long long>(0, window)(random)));
        fetcher.end();

        const QStringList names = QDir(app).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        ASSERT_EQ(names, QStringList({"asin", "libvbmp3.so", "temp.jpg", "velfetch"})) << "round " << rounds;
        const QByteArray image = readAll(app + "/temp.jpg"), asin = readAll(app + "/asin");
        ASSERT_TRUE(image == oldImage || image == newImage) << "round " << rounds << ": " << image.size() << " bytes";
        ASSERT_TRUE(asin == oldAsin || asin == newAsin) << "round " << rounds << ": " << asin.toStdString();
        const bool saved = image == newImage;
        whole += saved;
        streak = saved ? std::max(streak, 0) + 1 : std::min(streak, 0) - 1;
        if (streak <= -25) window *= 2;
        if (streak >= 25) window = std::max(1LL, window / 2);
        if (streak <= -25 || streak >= 25) streak = 0;
    }
    // Some runs ended after the image was saved, some before: the moments spread over the whole run.
    EXPECT_GT(whole, 0);
    EXPECT_LT(whole, rounds);
}

} // namespace
