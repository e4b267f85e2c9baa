// End to end under Xvfb, as a user: the real player, fetcher and decoder
// library, the stand-in catalogue reached through http_proxy, a stand-in
// browser on PATH. CTest runs it through tools/with-xvfb, which provides a
// private display; skipped without one or when the desktop tools are missing.
#include "XEvents.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemWatcher>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const QString kBin = QStringLiteral(VEL_BIN_DIR);
const QString kStandin = QStringLiteral(VEL_BIN_DIR "/../tools/velstandin");
// The system interpreter, which has the peer tagger (python3-mutagen).
const QString kPython = QStringLiteral("/usr/bin/python3");

bool have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

// Runs a program without a shell; its standard output, trimmed. Empty on failure.
QString run(const QString& program, const QStringList& args, const QProcessEnvironment& env = {}) {
    QProcess p;
    if (!env.isEmpty()) p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

std::uint32_t be32(const QByteArray& b, int at) {
    auto u = [&](int i) { return std::uint32_t(std::uint8_t(b[at + i])); };
    return u(0) << 24 | u(1) << 16 | u(2) << 8 | u(3);
}

// A window's pixels through xwd (a 24/32-bit TrueColor dump); null on failure.
QImage grab(const QString& display, const QString& window) {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start("xwd", {"-silent", "-id", window});
    if (!p.waitForFinished(10000)) return {};
    const QByteArray d = p.readAllStandardOutput();
    if (d.size() < 100) return {};
    const int headerSize = int(be32(d, 0)), width = int(be32(d, 16)), height = int(be32(d, 20));
    const int byteOrder = int(be32(d, 28)), bpp = int(be32(d, 44)), stride = int(be32(d, 48));
    const int colours = int(be32(d, 76));
    const qsizetype start = headerSize + colours * 12;
    if (bpp != 32 || width <= 0 || height <= 0 || d.size() < start + qsizetype(stride) * height) return {};
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(d.constData() + start + qsizetype(stride) * y);
        auto* out = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* px = row + 4 * x;
            const std::uint32_t v = byteOrder == 0 ? (px[0] | px[1] << 8 | px[2] << 16)
                                                   : (px[1] << 16 | px[2] << 8 | px[3]);
            out[x] = 0xff000000u | v;
        }
    }
    return img;
}

class EndToEnd : public ::testing::Test {
protected:
    void TearDown() override {
        for (QProcess* p : {player.get(), standin.get()})
            if (p && p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(3000)) {
                    p->kill();
                    p->waitForFinished(5000);
                }
            }
    }

    QString xdotool(const QStringList& args) { return run("xdotool", args, env); }

    // What a failure message needs when the player did not reach the display:
    // whether it still runs, and the state of the X server that with-xvfb started.
    std::string playerAndServerState() const {
        QString s = player && player->state() == QProcess::NotRunning
                        ? QString("the player ended with exit code %1").arg(player->exitCode())
                        : QString("the player runs");
        const QString pid = qEnvironmentVariable("XVFB_PID");
        s += QString("; the X server (pid %1) %2").arg(pid, QFile::exists("/proc/" + pid) ? "runs" : "has gone");
        QFile log(qEnvironmentVariable("XVFB_LOG"));
        if (log.open(QIODevice::ReadOnly)) s += "; its messages: " + QString::fromUtf8(log.readAll()).simplified();
        return s.toStdString();
    }

    QString window(const QString& pattern) { return xdotool({"search", "--name", pattern}).section('\n', 0, 0); }
    // The first window whose whole name matches `pattern`, once there is one.
    QString waitForWindow(const QString& pattern, int ms) {
        QString id;
        x->waitUntil([&] { return !(id = window(pattern)).isEmpty(); }, ms);
        return id;
    }

    QTemporaryDir tmp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<QProcess> standin, player;
    std::unique_ptr<veltest::XEvents> x;
};

TEST_F(EndToEnd, CaptionCoverFadeStoreLinkAndTagEditUnderXvfb) {
    const QString display = qEnvironmentVariable("XVFB_DISPLAY");
    if (display.isEmpty()) GTEST_SKIP() << "needs a private display: run it through tools/with-xvfb";
    for (const char* tool : {"xdotool", "xwd", "convert", "lame", "/usr/bin/python3"})
        if (!have(tool)) GTEST_SKIP() << tool << " is not installed";
    if (std::system("/usr/bin/python3 -c 'import mutagen.id3' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3-mutagen";
    for (const QString& f : {kBin + "/velplay", kBin + "/velfetch", kBin + "/libvbmp3.so", kStandin})
        if (!QFile::exists(f)) GTEST_SKIP() << f.toStdString() << " is not built";
    ASSERT_TRUE(tmp.isValid());
    const QString T = tmp.path();

    // An application folder with a space in its name, holding the real programs.
    const QString app = T + "/app folder";
    ASSERT_TRUE(QDir().mkpath(app));
    for (const char* f : {"velplay", "velfetch", "libvbmp3.so"})
        ASSERT_TRUE(QFile::copy(kBin + "/" + f, app + "/" + f));

    // A tagged track in a folder with a space, a cover for the stand-in to serve.
    ASSERT_TRUE(QDir().mkpath(T + "/My Music"));
    const QString track = T + "/My Music/blue sky.mp3";
    ASSERT_EQ(run(kPython, {"-c",
                              "import wave,math,sys\n"
                              "w=wave.open(sys.argv[1],'wb');w.setnchannels(1);w.setsampwidth(2);w.setframerate(22050)\n"
                              "w.writeframes(b''.join(int(8000*math.sin(i/8)).to_bytes(2,'little',signed=True)"
                              " for i in range(22050*2)))",
                              T + "/tone.wav"}),
              "");
    ASSERT_TRUE(QFile::exists(T + "/tone.wav"));
    run("lame", {"--quiet", "-b", "64", "--id3v1-only", "--ta", "Velmora Artist", "--tt", "Blue Sky", "--tl",
                 "Test Album", "--ty", "2024", "--tn", "3", T + "/tone.wav", track});
    ASSERT_TRUE(QFile::exists(track));
    // A gradient with a plain square in the middle, where the pixels are checked.
    run("convert", {"-size", "160x160", "gradient:#1d3557-#e07a5f", "(", "-size", "60x60", "xc:rgb(200,40,40)", ")",
                    "-gravity", "center", "-composite", "-quality", "95", T + "/cover.jpg"});
    ASSERT_TRUE(QFile::exists(T + "/cover.jpg"));

    // The stand-in browser: records what it was asked to open.
    ASSERT_TRUE(QDir().mkpath(T + "/bin"));
    {
        QFile b(T + "/bin/xdg-open");
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        // Written whole, then renamed: the file is complete once it appears.
        b.write(("#!/bin/sh\ncd '" + T + "' && printf '%s\\n' \"$@\" > opening && mv opening opened\n").toUtf8());
        b.close();
        b.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    standin = std::make_unique<QProcess>();
    standin->start(kStandin, {"--port", "0", "--image", T + "/cover.jpg", "--log", T + "/standin.log",
                              "--max-seconds", "120"});
    ASSERT_TRUE(standin->waitForReadyRead(60000));
    const QString portLine = QString::fromUtf8(standin->readLine()).trimmed();
    ASSERT_TRUE(portLine.startsWith("port ")) << portLine.toStdString();

    QDir().mkpath(T + "/run");
    QFile::setPermissions(T + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    // Every lookup goes to the stand-in: HTTPS to the open catalogues too.
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY"})
        env.insert(name, "http://127.0.0.1:" + portLine.mid(5));
    for (const char* name : {"no_proxy", "NO_PROXY"}) env.remove(name);
    env.insert("PATH", T + "/bin:" + env.value("PATH"));
    env.insert("XDG_RUNTIME_DIR", T + "/run");
    env.insert("XDG_CACHE_HOME", T + "/cache");
    env.insert("HOME", T);
    env.insert("SDL_AUDIODRIVER", "dummy");

    x = std::make_unique<veltest::XEvents>(display);
    player = std::make_unique<QProcess>();
    player->setProcessEnvironment(env);
    player->setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    player->start(app + "/velplay", {track});

    // The title bar reads "artist - title" from the tag.
    const QString win = waitForWindow("^Velmora Artist - Blue Sky$", 60000);
    ASSERT_FALSE(win.isEmpty()) << "no window captioned from the tag; " << playerAndServerState();
    const qint64 captioned = clock.elapsed();

    // The cover fades in: sample its centre until it stands fully opaque.
    // The 160 x 160 cover lies at (102, 10) in the cover area, which is at (1, 1).
    const QPoint centre(183, 91), outside(60, 91);
    QImage during, after;
    std::vector<int> reds;
    qint64 firstLight = -1, opaque = -1;
    while (clock.elapsed() < captioned + 30000) {
        const QImage shot = grab(display, win);
        if (shot.isNull() || shot.width() <= centre.x()) continue;
        const int red = qRed(shot.pixel(centre));
        reds.push_back(red);
        if (red > 0 && firstLight < 0) firstLight = clock.elapsed();
        if (red > 0 && red < 190) during = shot; // the latest frame caught mid-fade
        if (red >= 190) {
            opaque = clock.elapsed();
            after = shot;
            break;
        }
    }
    ASSERT_FALSE(after.isNull()) << "the cover never reached full opacity";
    for (std::size_t i = 1; i < reds.size(); ++i) EXPECT_GE(reds[i], reds[i - 1]) << "sample " << i;
    EXPECT_NEAR(qGreen(after.pixel(centre)), 40, 10);
    EXPECT_NEAR(qBlue(after.pixel(centre)), 40, 10);
    EXPECT_EQ(after.pixel(outside) & 0xffffff, 0u);
    EXPECT_EQ(after.pixel(103, 10) & 0xffffff, 0u);  // row above the cover
    EXPECT_NE(after.pixel(103, 11) & 0xffffff, 0u);  // its first row
    std::printf("[ e2e ] caption after %lld ms; first cover light %lld ms later; opaque %lld ms later; "
                "%zu samples, %s\n",
                captioned, firstLight - captioned, opaque - captioned, reds.size(),
                during.isNull() ? "none caught mid-fade" : "caught mid-fade");

    const QString shots = qEnvironmentVariable("VEL_E2E_SHOTS");
    if (!shots.isEmpty()) {
        after.save(shots + "/screenshot-cover.png");
        if (!during.isNull()) during.save(shots + "/screenshot-fading.png");
    }

    // A double-click on the cover opens its product page in the browser.
    QFile asinFile(app + "/asin");
    ASSERT_TRUE(asinFile.open(QIODevice::ReadOnly));
    const QString asin = QString::fromLatin1(asinFile.readLine()).trimmed();
    asinFile.close();
    ASSERT_FALSE(asin.isEmpty());
    QFileSystemWatcher folder({T});
    QSignalSpy folderChanged(&folder, &QFileSystemWatcher::directoryChanged);
    xdotool({"mousemove", "--window", win, "183", "91", "click", "--repeat", "2", "--delay", "60", "1"});
    for (QDeadlineTimer ceiling(60000); !QFile::exists(T + "/opened") && !ceiling.hasExpired();)
        folderChanged.wait(int(ceiling.remainingTime()));
    QFile opened(T + "/opened");
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly)) << "the browser was not started";
    EXPECT_EQ(QString::fromUtf8(opened.readAll()).trimmed(), "http://www.amazon.co.jp/exec/obidos/ASIN/" + asin + "/plovtarnime-22/sim=noref");

    // TAG: the editor opens on the track, a new artist is typed and saved with Enter.
    xdotool({"mousemove", "--window", win, "183", "209", "click", "1"});
    const QString dialog = waitForWindow(QString::fromUtf8("^タグ入力$"), 60000);
    ASSERT_FALSE(dialog.isEmpty()) << "the tag editor did not open";
    xdotool({"windowfocus", "--sync", dialog});
    x->waitUntil([&] { return xdotool({"getwindowfocus"}) == dialog; }, 60000);
    xdotool({"key", "ctrl+a"});
    xdotool({"type", "--delay", "20", "New Artist"});
    xdotool({"key", "Return"});
    ASSERT_TRUE(x->waitUntil([&] { return window(QString::fromUtf8("^タグ入力$")).isEmpty(); }, 60000))
        << "the tag editor stayed open";

    // An independent tagger reads the saved tag back.
    const QString peer = run(kPython, {"-c",
                                         "import sys\n"
                                         "from mutagen.id3._id3v1 import ParseID3v1\n"
                                         "f=ParseID3v1(open(sys.argv[1],'rb').read()[-128:])\n"
                                         "print(f['TPE1'], f['TIT2'], f['TALB'], f['TRCK'], sep='|')",
                                         track});
    EXPECT_EQ(peer, "New Artist|Blue Sky|Test Album|3");
    EXPECT_FALSE(player->waitForFinished(200)) << "the player ended";
}

} // namespace
