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

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

const QString kBin = QStringLiteral(VEL_BIN_DIR);

bool have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

struct Outcome {
    int code = -1;
    QString out; // standard output and error, trimmed
};

Outcome run(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(5000);
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll()).trimmed()};
}

// `seconds` of a 440 Hz-ish tone, 16-bit mono at 22050 Hz, as raw samples.
QByteArray tone(int seconds) {
    QByteArray pcm;
    for (int i = 0; i < 22050 * seconds; ++i) {
        const auto s = static_cast<qint16>(8000 * std::sin(i / 8.0));
        pcm.append(char(s & 0xff)).append(char((s >> 8) & 0xff));
    }
    return pcm;
}

class MprisPlayerctl : public ::testing::Test {
protected:
    void TearDown() override {
        for (QProcess* p : {follow.get(), player.get()})
            if (p && p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
    }
    QString ctl(const QStringList& args) { return run("playerctl", QStringList{"-p", "velplay"} + args, env).out; }

    QTemporaryDir tmp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<QProcess> player, follow;
};

} // namespace

TEST_F(MprisPlayerctl, DrivesAndWatchesTheRealPlayer) {
    for (const char* tool : {"playerctl", "lame"})
        if (!have(tool)) GTEST_SKIP() << tool << " is not installed";
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus";
    for (const QString& f : {kBin + "/velplay", kBin + "/libvbmp3.so"})
        if (!QFile::exists(f)) GTEST_SKIP() << f.toStdString() << " is not built";
    ASSERT_TRUE(tmp.isValid());
    const QString T = tmp.path();

    // An application folder without the fetcher: no cover lookup is started.
    ASSERT_TRUE(QDir().mkpath(T + "/app") && QDir().mkpath(T + "/run"));
    for (const char* f : {"velplay", "libvbmp3.so"}) ASSERT_TRUE(QFile::copy(kBin + "/" + f, T + "/app/" + f));
    QFile::setPermissions(T + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // Twelve seconds, tagged.
    {
        QFile raw(T + "/tone.raw");
        ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
        raw.write(tone(12));
    }
    const QString track = T + "/blue sky.mp3";
    run("lame", {"--quiet", "-r", "-s", "22.05", "--bitwidth", "16", "--signed", "--little-endian", "-m", "m", "-b",
                 "64", "--id3v1-only", "--ta", "Velmora Artist", "--tt", "Blue Sky", "--tl", "Test Album",
                 T + "/tone.raw", track},
        env);
    ASSERT_TRUE(QFile::exists(track));

    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("XDG_RUNTIME_DIR", T + "/run");
    env.insert("HOME", T);
    player = std::make_unique<QProcess>();
    player->setProcessEnvironment(env);
    player->setProcessChannelMode(QProcess::ForwardedChannels);
    player->start(T + "/app/velplay", {track});

    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && !run("playerctl", {"-l"}, env).out.split('\n').contains("velplay"))
        QThread::msleep(100);
    ASSERT_EQ(run("playerctl", {"-l"}, env).out, "velplay");

    const QString meta = ctl({"metadata"});
    for (const char* line : {"xesam:title\\s+Blue Sky$", "xesam:artist\\s+Velmora Artist$", "xesam:album\\s+Test Album$"})
        EXPECT_TRUE(meta.contains(QRegularExpression(QString::fromLatin1(line), QRegularExpression::MultilineOption)))
            << line << "\n" << meta.toStdString();
    const auto length = QRegularExpression("mpris:length\\s+(\\d+)").match(meta).captured(1).toLongLong();
    EXPECT_NEAR(length, 12000000, 1000000);

    EXPECT_EQ(ctl({"status"}), "Playing");
    ctl({"play-pause"});
    EXPECT_EQ(ctl({"status"}), "Paused");
    ctl({"play-pause"});
    EXPECT_EQ(ctl({"status"}), "Playing");

    ctl({"volume", "0.3"});
    EXPECT_NEAR(ctl({"volume"}).toDouble(), 0.3, 1e-9);

    // Two seconds before the end; the status as playerctl follows it.
    follow = std::make_unique<QProcess>();
    follow->setProcessEnvironment(env);
    follow->start("playerctl", {"-p", "velplay", "status", "--follow"});
    ASSERT_TRUE(follow->waitForReadyRead(5000));
    follow->readAll();
    const qint64 seekAt = clock.elapsed();
    ctl({"position", "10"});
    EXPECT_NEAR(ctl({"position"}).toDouble(), 10.0, 1.0);
    qint64 stoppedAt = -1;
    while (stoppedAt < 0 && clock.elapsed() < seekAt + 15000)
        if (follow->waitForReadyRead(20) || follow->canReadLine())
            while (follow->canReadLine())
                if (follow->readLine().trimmed() == "Stopped") stoppedAt = clock.elapsed();
    ASSERT_GE(stoppedAt, 0) << "playerctl never saw the track stop";
    // Measured from the moment before the seek was asked for: an upper bound.
    const qint64 late = stoppedAt - seekAt - 2000;
    std::cout << "[ FIGURE   ] Stopped reached playerctl " << late << " ms after the natural end" << std::endl;
    RecordProperty("stopped_after_end_ms", static_cast<int>(late));
    EXPECT_GT(late, -500) << "stopped early";
    EXPECT_LT(late, 1500); // one 100 ms poll and the bus; generous for a loaded machine

    ctl({"play"});
    EXPECT_EQ(ctl({"status"}), "Playing");
    ctl({"stop"});
    EXPECT_EQ(ctl({"status"}), "Stopped");

    // Quit closes the window as its close box does; the player ends and leaves the bus.
    const QDBusMessage quit = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        "org.mpris.MediaPlayer2.velplay", "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2", "Quit"));
    EXPECT_EQ(quit.type(), QDBusMessage::ReplyMessage) << quit.errorMessage().toStdString();
    ASSERT_TRUE(player->waitForFinished(10000));
    EXPECT_EQ(player->exitCode(), 0);
    const Outcome after = run("playerctl", {"-p", "velplay", "status"}, env);
    EXPECT_NE(after.code, 0);
    EXPECT_EQ(after.out, "No players found");
}
