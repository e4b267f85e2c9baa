// The real player and decoder library on a private session bus, driven and
// watched by playerctl, a client written elsewhere. Offscreen, no sound device.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

namespace {

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
