// The real player and decoder library on a private session bus, driven and
// watched by playerctl, a client written elsewhere: offscreen, and on an X
// display as the desktop starts it for each song. No sound device.
#include "XEvents.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <poll.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

QStringList coverCopies(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("cover-*.jpg")}, QDir::Files);
}

// Exit code and output (standard output and error, trimmed); -1 when it did not end normally.
std::pair<int, QString> run(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit) return {-1, {}};
    return {p.exitCode(), QString::fromUtf8(p.readAll()).trimmed()};
}

bool have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) == 0; }

// A user's folders: an application folder with the player and the decoder
// library (no fetcher: no cover lookup), a private runtime folder, and tagged
// tracks of silence made by lame.
struct User {
    QTemporaryDir tmp;
    const QString T = tmp.path();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    // Empty when ready, else why the test cannot run.
    std::string setUp() {
        for (const char* tool : {"playerctl", "lame"})
            if (!have(tool)) return std::string(tool) + " is not installed";
        const QString bin = QStringLiteral(VEL_BIN_DIR);
        if (!QFile::exists(bin + "/velplay") || !QFile::exists(bin + "/libvbmp3.so")) return "not built";
        if (!tmp.isValid() || !QDir().mkpath(T + "/app") || !QDir().mkpath(T + "/run")) return "no temporary folder";
        for (const char* f : {"velplay", "libvbmp3.so"})
            if (!QFile::copy(bin + "/" + f, T + "/app/" + f)) return "cannot copy the programs";
        QFile::setPermissions(T + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.insert("XDG_RUNTIME_DIR", T + "/run");
        env.insert("XDG_CACHE_HOME", T + "/cache");
        env.insert("HOME", T);
        return {};
    }
    // A track of `seconds` of silence tagged "Velmora Artist", `title`, "Test Album".
    bool track(const QString& path, const QString& title, int seconds) {
        QFile raw(T + "/silence.raw");
        if (!raw.open(QIODevice::WriteOnly)) return false;
        raw.write(QByteArray(22050 * 2 * seconds, '\0'));
        raw.close();
        run("lame", {"--quiet", "-r", "-s", "22.05", "--bitwidth", "16", "--signed", "--little-endian", "-m", "m",
                     "--id3v1-only", "--ta", "Velmora Artist", "--tt", title, "--tl", "Test Album", raw.fileName(),
                     path},
            env);
        return QFile::exists(path);
    }
    QString ctl(const QStringList& args) { return run("playerctl", QStringList{"-p", "velplay"} + args, env).second; }
    // Waits until the player's name is on the bus, as playerctl finds it.
    static bool waitForPlayer() {
        const QString name = QStringLiteral("org.mpris.MediaPlayer2.velplay");
        QDBusConnection bus = QDBusConnection::sessionBus();
        QDBusServiceWatcher watcher(name, bus, QDBusServiceWatcher::WatchForRegistration);
        QSignalSpy registered(&watcher, &QDBusServiceWatcher::serviceRegistered);
        return bus.interface()->isServiceRegistered(name) || registered.wait(60000);
    }
};

} // namespace

TEST(MprisPlayerctl, DrivesAndWatchesTheRealPlayer) {
    User user;
    if (const std::string why = user.setUp(); !why.empty()) GTEST_SKIP() << why;
    const QString T = user.T;
    QProcessEnvironment& env = user.env;
    auto ctl = [&](const QStringList& args) { return user.ctl(args); };
    const QString track = T + "/blue sky.mp3";
    ASSERT_TRUE(user.track(track, "Blue Sky", 12));

    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess player, follow; // each killed, if still running, when the test ends
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    player.start(T + "/app/velplay", {track});

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(user.waitForPlayer());

    const QString meta = ctl({"metadata"});
    for (const char* line : {"xesam:title\\s+Blue Sky$", "xesam:artist\\s+Velmora Artist$", "xesam:album\\s+Test Album$"})
        EXPECT_TRUE(meta.contains(QRegularExpression(QString::fromLatin1(line), QRegularExpression::MultilineOption)))
            << line << "\n" << meta.toStdString();
    EXPECT_NEAR(QRegularExpression("mpris:length\\s+(\\d+)").match(meta).captured(1).toLongLong(), 12000000, 1000000);

    EXPECT_EQ(ctl({"status"}), "Playing");
    ctl({"play-pause"});
    EXPECT_EQ(ctl({"status"}), "Paused");
    ctl({"play-pause"});
    EXPECT_EQ(ctl({"status"}), "Playing");
    ctl({"volume", "0.3"});
    EXPECT_EQ(ctl({"volume"}), "0.300000");

    // Two seconds before the end, following the status as playerctl hears it.
    follow.setProcessEnvironment(env);
    follow.start("playerctl", {"-p", "velplay", "status", "--follow"});
    ASSERT_TRUE(follow.waitForReadyRead(60000));
    follow.readAll();
    const qint64 seekAt = clock.elapsed();
    ctl({"position", "10"});
    EXPECT_NEAR(ctl({"position"}).toDouble(), 10.0, 1.0);
    qint64 stoppedAt = -1;
    for (QDeadlineTimer ceiling(60000);
         stoppedAt < 0 && (follow.canReadLine() || follow.waitForReadyRead(ceiling.remainingTime()));)
        while (stoppedAt < 0 && follow.canReadLine())
            if (follow.readLine().trimmed() == "Stopped") stoppedAt = clock.elapsed();
    ASSERT_GE(stoppedAt, 0) << "playerctl never saw the track stop";
    // Counted from before the seek was asked for, so an upper bound; how late it may
    // be depends on the machine, so it is reported, not judged. It cannot be early.
    const qint64 late = stoppedAt - seekAt - 2000;
    std::cout << "[ FIGURE   ] Stopped reached playerctl " << late << " ms after the natural end" << std::endl;
    EXPECT_GT(late, -500) << "stopped early";

    ctl({"play"});
    EXPECT_EQ(ctl({"status"}), "Playing");
    ctl({"stop"});
    EXPECT_EQ(ctl({"status"}), "Stopped");

    // Quit closes the window as its close box does: the player ends and leaves the bus.
    const QDBusMessage quit = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        "org.mpris.MediaPlayer2.velplay", "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2", "Quit"));
    EXPECT_EQ(quit.type(), QDBusMessage::ReplyMessage) << quit.errorMessage().toStdString();
    ASSERT_TRUE(player.waitForFinished(60000));
    EXPECT_EQ(player.exitCode(), 0);
    EXPECT_EQ(run("playerctl", {"-p", "velplay", "status"}, env), std::make_pair(1, QString("No players found")));
}

namespace {

// Hears the requests to activate a window that reach the root window, as a
// window manager would, without managing anything.
class ActivationRequests {
public:
    ActivationRequests() : c_(xcb_connect(nullptr, nullptr), &xcb_disconnect) {
        if (xcb_connection_has_error(c_.get())) return;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_.get())).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_.get(), root, XCB_CW_EVENT_MASK, &mask);
        static const char name[] = "_NET_ACTIVE_WINDOW";
        const Reply<xcb_intern_atom_reply_t> atom(
            xcb_intern_atom_reply(c_.get(), xcb_intern_atom(c_.get(), 0, sizeof name - 1, name), nullptr), &std::free);
        if (atom) atom_ = atom->atom;
        xcb_flush(c_.get());
    }
    bool listening() const { return atom_ != XCB_NONE; }

    // The time stamped on the next request for `window`; 0 when none came.
    quint32 next(xcb_window_t window) {
        for (QDeadlineTimer ceiling(60000); !ceiling.hasExpired();) {
            while (const Reply<xcb_generic_event_t> e{xcb_poll_for_event(c_.get()), &std::free}) {
                const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(e.get());
                if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE && m->type == atom_ && m->window == window)
                    return m->data.data32[1];
            }
            pollfd fd{xcb_get_file_descriptor(c_.get()), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(std::max<qint64>(1, ceiling.remainingTime())));
        }
        return 0;
    }

private:
    template <typename T>
    using Reply = std::unique_ptr<T, decltype(&std::free)>;
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c_;
    xcb_atom_t atom_ = XCB_NONE;
};

bool playerProperty(const char* name) {
    QDBusMessage get = QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.velplay", "/org/mpris/MediaPlayer2",
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << "org.mpris.MediaPlayer2.Player" << name;
    return QDBusConnection::sessionBus().call(get).arguments().value(0).value<QDBusVariant>().variant().toBool();
}

} // namespace

// As the desktop starts `velplay FILE` for each song double-clicked while one
// plays, and as the media keys' next and previous walk the album's folder.
TEST(HandoffUnderX, SecondStartHandsItsFileOverAndNextWalksTheFolder) {
    if (qEnvironmentVariableIsEmpty("XVFB_DISPLAY"))
        GTEST_SKIP() << "needs a private display: run it through tools/with-xvfb";
    if (!have("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    User user;
    if (const std::string why = user.setUp(); !why.empty()) GTEST_SKIP() << why;
    QProcessEnvironment& env = user.env;
    env.insert("QT_QPA_PLATFORM", "xcb");
    const QString album = user.T + "/album";
    ASSERT_TRUE(QDir().mkpath(album));
    for (const char* n : {"01", "02", "10"})
        ASSERT_TRUE(user.track(album + "/" + n + ".mp3", QString("Song ") + n, 20));
    QFile notes(album + "/notes.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));

    auto xdotool = [&](const QStringList& args) { return run("xdotool", args, env).second; };
    // The first of the visible windows of `pid` whose whole name matches, once there is one.
    veltest::XEvents x(qEnvironmentVariable("DISPLAY"));
    auto waitForWindow = [&](qint64 pid, const QString& name) {
        QString id;
        x.waitUntil([&] {
            id = xdotool({"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", name})
                     .section('\n', 0, 0);
            return !id.isEmpty();
        }, 60000);
        return id;
    };
    // The window's title once it reads `title`, or as it is when the wait gives up.
    auto waitForTitle = [&](const QString& window, const QString& title) {
        QString now;
        x.waitUntil([&] { return (now = xdotool({"getwindowname", window})) == title; }, 60000);
        return now;
    };
    // A start refused because the player runs: its box is on screen and the
    // process runs until the box is closed; then it ends.
    auto refusedStart = [&](const QStringList& args, const QProcessEnvironment& startEnv) {
        QProcess second;
        second.setProcessEnvironment(startEnv);
        second.setWorkingDirectory(album); // as a file manager in the album's folder starts it
        second.start(user.T + "/app/velplay", args);
        ASSERT_TRUE(second.waitForStarted());
        const QString box = waitForWindow(second.processId(), "^Velmora$");
        ASSERT_FALSE(box.isEmpty()) << "no box";
        EXPECT_EQ(second.state(), QProcess::Running);
        xdotool({"windowfocus", "--sync", box});
        xdotool({"key", "Return"});
        ASSERT_TRUE(second.waitForFinished(60000));
        EXPECT_EQ(second.exitCode(), 0);
    };
    const QString song = QStringLiteral("Velmora Artist - Song %1");

    QProcess player; // killed, if still running, when the test ends
    player.setProcessEnvironment(env);
    player.start(user.T + "/app/velplay", {album + "/01.mp3"});
    ASSERT_TRUE(player.waitForStarted());
    ASSERT_TRUE(user.waitForPlayer());
    const QString window = waitForWindow(player.processId(), song.arg("01"));
    ASSERT_FALSE(window.isEmpty());

    // Double-clicking 02.mp3: the player plays it and comes forward at the
    // time of that click, which the launcher's startup identifier carries.
    ActivationRequests requests;
    ASSERT_TRUE(requests.listening());
    QProcessEnvironment launched = env;
    launched.insert("DESKTOP_STARTUP_ID", "velmora-test_TIME4242");
    refusedStart({"02.mp3"}, launched);
    EXPECT_EQ(waitForTitle(window, song.arg("02")), song.arg("02"));
    EXPECT_EQ(user.ctl({"metadata", "xesam:title"}), "Song 02");
    EXPECT_EQ(requests.next(window.toUInt()), 4242u);
    // Without a file, as before: the box, and the player goes on as it was.
    refusedStart({}, env);
    EXPECT_EQ(xdotool({"getwindowname", window}), song.arg("02"));

    // The media keys walk 01, 02, 10 (notes.txt is no track), without wrapping.
    EXPECT_TRUE(playerProperty("CanGoNext") && playerProperty("CanGoPrevious"));
    user.ctl({"next"});
    EXPECT_EQ(waitForTitle(window, song.arg("10")), song.arg("10"));
    EXPECT_FALSE(playerProperty("CanGoNext"));
    user.ctl({"next"});
    for (int i = 0; i < 3; ++i) user.ctl({"previous"});
    EXPECT_EQ(waitForTitle(window, song.arg("01")), song.arg("01"));
    EXPECT_FALSE(playerProperty("CanGoPrevious"));
    EXPECT_TRUE(playerProperty("CanGoNext"));

    QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        "org.mpris.MediaPlayer2.velplay", "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2", "Quit"));
    ASSERT_TRUE(player.waitForFinished(60000));
}

// A logout or `kill` ends the real player as its close box does: "asin" goes,
// so does the cover's copy for the media controls, and the player ends normally.
class MprisPlayerctlEndedBy : public ::testing::TestWithParam<int> {};

TEST_P(MprisPlayerctlEndedBy, SignalAsByItsCloseBox) {
    const QString bin = QStringLiteral(VEL_BIN_DIR);
    if (!QFile::exists(bin + "/velplay") || !QFile::exists(bin + "/libvbmp3.so")) GTEST_SKIP() << "not built";
    if (!have("playerctl")) GTEST_SKIP() << "playerctl is not installed";
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString T = tmp.path(), app = T + "/app";
    // A fetcher that finds nothing new, beside the cover and product an earlier one left.
    ASSERT_TRUE(QDir().mkpath(app) && QDir().mkpath(T + "/run"));
    QFile::setPermissions(T + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char* f : {"velplay", "libvbmp3.so"}) ASSERT_TRUE(QFile::copy(bin + "/" + f, app + "/" + f));
    ASSERT_TRUE(QFile::copy("/bin/true", app + "/velfetch"));
    QImage cover(32, 32, QImage::Format_RGB32);
    cover.fill(Qt::darkRed);
    ASSERT_TRUE(cover.save(app + "/temp.jpg", "JPG"));
    {
        QFile asin(app + "/asin");
        ASSERT_TRUE(asin.open(QIODevice::WriteOnly));
        asin.write("B000TEST01");
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("XDG_RUNTIME_DIR", T + "/run");
    env.insert("XDG_CACHE_HOME", T + "/cache");
    env.insert("HOME", T);
    QProcess player;
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    player.start(app + "/velplay", {T + "/song.mp3"});
    ASSERT_TRUE(player.waitForStarted(60000));

    // The cover is on show once the media controls are handed its copy.
    QProcess art;
    art.setProcessEnvironment(env);
    art.start("playerctl", {"-p", "velplay", "--follow", "metadata", "mpris:artUrl"});
    QString url;
    for (QDeadlineTimer ceiling(60000);
         !url.contains("/velmora/cover-") && art.waitForReadyRead(ceiling.remainingTime());)
        while (art.canReadLine()) url = QString::fromUtf8(art.readLine()).trimmed();
    ASSERT_EQ(coverCopies(T + "/run/velmora").size(), 1) << "the cover never showed";

    ASSERT_EQ(kill(pid_t(player.processId()), GetParam()), 0);
    ASSERT_TRUE(player.waitForFinished(60000));
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(app + "/asin"));
    EXPECT_TRUE(coverCopies(T + "/run/velmora").isEmpty());
    EXPECT_TRUE(QFile::exists(app + "/temp.jpg")); // as the close box leaves it
}

INSTANTIATE_TEST_SUITE_P(Signals, MprisPlayerctlEndedBy, ::testing::Values(SIGTERM, SIGHUP),
                         [](const auto& info) { return info.param == SIGTERM ? "SIGTERM" : "SIGHUP"; });
