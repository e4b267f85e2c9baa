// The real player and decoder library on a private session bus, driven and
// watched by playerctl, a client written elsewhere. Offscreen, no sound device.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <iostream>

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

} // namespace

TEST(MprisPlayerctl, DrivesAndWatchesTheRealPlayer) {
    for (const char* tool : {"playerctl", "lame"})
        if (std::system((std::string("command -v ") + tool + " >/dev/null").c_str()) != 0)
            GTEST_SKIP() << tool << " is not installed";
    const QString bin = QStringLiteral(VEL_BIN_DIR);
    if (!QFile::exists(bin + "/velplay") || !QFile::exists(bin + "/libvbmp3.so")) GTEST_SKIP() << "not built";
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString T = tmp.path();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    auto ctl = [&](const QStringList& args) { return run("playerctl", QStringList{"-p", "velplay"} + args, env).second; };

    // An application folder without the fetcher (no cover lookup) and twelve tagged seconds of silence.
    ASSERT_TRUE(QDir().mkpath(T + "/app") && QDir().mkpath(T + "/run"));
    for (const char* f : {"velplay", "libvbmp3.so"}) ASSERT_TRUE(QFile::copy(bin + "/" + f, T + "/app/" + f));
    QFile::setPermissions(T + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    {
        QFile raw(T + "/silence.raw");
        ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
        raw.write(QByteArray(22050 * 2 * 12, '\0'));
    }
    const QString track = T + "/blue sky.mp3";
    run("lame", {"--quiet", "-r", "-s", "22.05", "--bitwidth", "16", "--signed", "--little-endian", "-m", "m",
                 "--id3v1-only", "--ta", "Velmora Artist", "--tt", "Blue Sky", "--tl", "Test Album",
                 T + "/silence.raw", track},
        env);
    ASSERT_TRUE(QFile::exists(track));

    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("XDG_RUNTIME_DIR", T + "/run");
    env.insert("XDG_CACHE_HOME", T + "/cache");
    env.insert("HOME", T);
    QProcess player, follow; // each killed, if still running, when the test ends
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    player.start(T + "/app/velplay", {track});

    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000 && run("playerctl", {"-l"}, env).second != "velplay") QThread::msleep(100);
    ASSERT_EQ(run("playerctl", {"-l"}, env).second, "velplay");

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
    while (stoppedAt < 0 && clock.elapsed() < seekAt + 60000) // a ceiling only
        for (follow.waitForReadyRead(20); follow.canReadLine();)
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

// A logout or `kill` ends the real player as its close box does: "asin" goes,
// so does the cover's copy for the media controls, and the player ends normally.
class MprisPlayerctlEndedBy : public ::testing::TestWithParam<int> {};

TEST_P(MprisPlayerctlEndedBy, SignalAsByItsCloseBox) {
    const QString bin = QStringLiteral(VEL_BIN_DIR);
    if (!QFile::exists(bin + "/velplay") || !QFile::exists(bin + "/libvbmp3.so")) GTEST_SKIP() << "not built";
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

    // The cover is on show once its copy is there.
    QElapsedTimer clock;
    clock.start();
    while (coverCopies(T + "/run/velmora").isEmpty() && clock.elapsed() < 60000 &&
           player.state() == QProcess::Running)
        QThread::msleep(20);
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
