// The media-player service as a Qt D-Bus client on a connection of its own
// sees it: requests reach the window's handlers (recorded by the stand-in
// decoder library), properties follow the window and are announced.
#include "PlayerFixture.h"
#include "mpris/MprisService.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTest>

#include <cmath>
#include <limits>

using veltest::Calls;

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.velplay");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kTrack1 = QStringLiteral("/org/velmora/velplay/track/1");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// What the client heard from the service.
class Heard : public QObject {
    Q_OBJECT
public slots:
    void changed(const QString&, const QVariantMap& properties, const QStringList&) {
        for (auto it = properties.begin(); it != properties.end(); ++it) changes[it.key()] << it.value();
    }
    void seeked(qlonglong position) { seeks.push_back(position); }

public:
    QMap<QString, QVariantList> changes; // the values each property was announced with, in order
    std::vector<qlonglong> seeks;
};

class MprisClient : public veltest::PlayerFixture {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus: run under dbus-run-session";
        PlayerFixture::SetUp();
        // The copies of the covers go to a runtime folder of this test's own.
        runtime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", file("run").toLocal8Bit());
        start();
        service = velplay::MprisService::start(*form);
        ASSERT_TRUE(service) << "no session bus, or the name is taken";
        ASSERT_TRUE(client.isConnected());
        client.connect(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                       QStringLiteral("PropertiesChanged"), &heard, SLOT(changed(QString, QVariantMap, QStringList)));
        client.connect(kService, kPath, kPlayer, QStringLiteral("Seeked"), &heard, SLOT(seeked(qlonglong)));
    }
    void TearDown() override {
        service.reset();
        PlayerFixture::TearDown();
        if (runtime.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", runtime);
    }

    // A call through the bus; the window's event loop runs while it waits.
    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, interface, method);
        m.setArguments(args);
        QDBusPendingCall pending = client.asyncCall(m);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 60000)) << method.toStdString();
        return pending.reply();
    }
    QVariant get(const QString& interface, const QString& property) {
        const QDBusMessage r = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                    {interface, property});
        return r.arguments().value(0).value<QDBusVariant>().variant();
    }
    void set(const QString& property, const QVariant& value) {
        call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
             {kPlayer, property, QVariant::fromValue(QDBusVariant(value))});
    }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(get(kPlayer, QStringLiteral("Metadata"))); }
    QString status() { return get(kPlayer, QStringLiteral("PlaybackStatus")).toString(); }

    // Loads a track with this tag as a drop does (no fetcher in the application folder: no search).
    void load(const QString& path, const char16_t* artist = u"", const char16_t* title = u"",
              const char16_t* album = u"") {
        vel::TagRecord tag;
        tag.Artist.setRaw(artist);
        tag.Title.setRaw(title);
        tag.Album.setRaw(album);
        stub.setTag(tag);
        form->pic_View_OLEDragDrop({path});
        stub.clearCalls();
    }
    // The bus keeps a sender's messages in order: once this reply is in, so is
    // every signal the service sent before it, queued for the client's slots.
    void settle() {
        get(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Identity"));
        QCoreApplication::processEvents();
    }

    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    // Shows a 60 x 60 cover of this colour as the fetcher would leave it; the
    // address the service gives for it.
    QString showCover(Qt::GlobalColor colour) {
        QImage picture(60, 60, QImage::Format_RGB32);
        picture.fill(colour);
        EXPECT_TRUE(picture.save(file("temp.jpg"), "JPG"));
        form->ShowCover();
        return metadata().value("mpris:artUrl").toString();
    }
    // The copies of covers in the runtime folder.
    QStringList copies() const {
        return QDir(file("run/velmora")).entryList({QStringLiteral("cover-*.jpg")}, QDir::Files);
    }

    std::unique_ptr<velplay::MprisService> service;
    Heard heard;
    QByteArray runtime;
};

struct Request {
    const char* method;
    QVariantList args;
    int stateBefore; // the decoder at position 10 of 200 seconds
    Calls calls;
    const char* caption;
    const char* status;
    qlonglong seeked = -1; // the Seeked signal expected, in microseconds; -1: none
};

void PrintTo(const Request& r, std::ostream* os) {
    *os << r.method << "(";
    for (qsizetype i = 0; i < r.args.size(); ++i) *os << (i ? ", " : "") << r.args[i].toString().toStdString();
    *os << ") in state " << r.stateBefore;
}

class MprisClientRequests : public MprisClient, public ::testing::WithParamInterface<Request> {};

QVariant us(double seconds) { return QVariant::fromValue(qlonglong(std::llround(seconds * 1e6))); }
QVariant track(const QString& path) { return QVariant::fromValue(QDBusObjectPath(path)); }

} // namespace

TEST_P(MprisClientRequests, GoThroughTheWindowsHandlers) {
    const Request& r = GetParam();
    load(QStringLiteral("/m/t.mp3"));
    stub.setState(r.stateBefore, 10);
    form->cmdPlay->setText(r.stateBefore == 1 ? QStringLiteral("PAUSE") : QStringLiteral("PLAY"));
    form->TimerStatus_Timer(); // the service sees the new position: no jump later
    settle();
    heard.seeks.clear();
    call(kPlayer, QString::fromLatin1(r.method), r.args);
    EXPECT_EQ(stub.calls(), r.calls);
    EXPECT_EQ(form->cmdPlay->text(), QString::fromLatin1(r.caption));
    EXPECT_EQ(status(), QString::fromLatin1(r.status));
    settle();
    EXPECT_EQ(heard.seeks, r.seeked < 0 ? std::vector<qlonglong>{} : std::vector<qlonglong>{r.seeked});
}

INSTANTIATE_TEST_SUITE_P(
    Table, MprisClientRequests,
    ::testing::Values(
        Request{"PlayPause", {}, 0, {"stop", "open /m/t.mp3", "play"}, "PAUSE", "Playing"},
        Request{"PlayPause", {}, 1, {"pause"}, "PLAY", "Paused"},
        Request{"PlayPause", {}, 2, {"restart"}, "PAUSE", "Playing"},
        Request{"Play", {}, 0, {"stop", "open /m/t.mp3", "play"}, "PAUSE", "Playing"},
        Request{"Play", {}, 1, {}, "PAUSE", "Playing"},
        Request{"Play", {}, 2, {"restart"}, "PAUSE", "Playing"},
        Request{"Pause", {}, 1, {"pause"}, "PLAY", "Paused"},
        Request{"Pause", {}, 2, {}, "PLAY", "Paused"},
        Request{"Pause", {}, 0, {}, "PLAY", "Stopped"},
        Request{"Stop", {}, 1, {"stop", "encodeStop"}, "PLAY", "Stopped"},
        Request{"Next", {}, 1, {}, "PAUSE", "Playing"},
        Request{"Previous", {}, 2, {}, "PLAY", "Paused"},
        Request{"Seek", {us(5.5)}, 1, {"seek 16"}, "PAUSE", "Playing", 16000000},  // 15.5: halves to even
        Request{"Seek", {us(-30)}, 2, {"seek 0"}, "PLAY", "Paused", 0},           // clamped to the start
        Request{"Seek", {us(500)}, 1, {"seek 200"}, "PAUSE", "Playing", 200000000}, // and to the end
        Request{"Seek", {us(1)}, 0, {}, "PLAY", "Stopped"},
        Request{"SetPosition", {track(kTrack1), us(42.5)}, 1, {"seek 42"}, "PAUSE", "Playing", 42000000},
        Request{"SetPosition", {track(kTrack1), us(300)}, 2, {"seek 200"}, "PLAY", "Paused", 200000000},
        Request{"SetPosition", {track(kNoTrack), us(42)}, 1, {}, "PAUSE", "Playing"})); // stale track

TEST_F(MprisClient, PropertiesFollowTheWindowAndAreAnnounced) {
    EXPECT_EQ(metadata().value("mpris:trackid").value<QDBusObjectPath>().path(), kNoTrack);

    load(QStringLiteral("/m/t.mp3"), u"Foo", u"Bar", u"Baz");
    QVariantMap m = metadata();
    EXPECT_EQ(m.value("mpris:trackid").value<QDBusObjectPath>().path(), kTrack1);
    EXPECT_EQ(m.value("xesam:title"), "Bar");
    EXPECT_EQ(m.value("xesam:artist").toStringList(), QStringList{"Foo"});
    EXPECT_EQ(m.value("xesam:album"), "Baz");
    EXPECT_EQ(m.value("mpris:length").toLongLong(), 200000000);
    EXPECT_FALSE(m.contains("mpris:artUrl"));

    // A cover on show gives its picture; the next track has none until its own arrives.
    EXPECT_TRUE(showCover(Qt::red).startsWith("file://"));

    load(QStringLiteral("/m/next song.mp3"), u"Foo", u" ");
    m = metadata();
    EXPECT_EQ(m.value("mpris:trackid").value<QDBusObjectPath>().path(), "/org/velmora/velplay/track/2");
    EXPECT_EQ(m.value("xesam:title"), "next song.mp3"); // as the caption: the file name
    EXPECT_EQ(m.value("xesam:artist").toStringList(), QStringList{"Foo"});
    EXPECT_FALSE(m.contains("xesam:album") || m.contains("mpris:artUrl"));

    // A press on the progress bar is a jump the client hears of.
    form->TimerStatus_Timer();
    form->PicStatus_MouseDown(Qt::LeftButton, {}, form->CngVol * 100, 0);
    form->TimerStatus_Timer();
    EXPECT_EQ(get(kPlayer, "Position").toLongLong(), 100000000);

    // The end of the track, as the 100 ms poll sees it.
    stub.setState(0, 0);
    form->TimerStatus_Timer();
    EXPECT_EQ(status(), "Stopped");
    EXPECT_EQ(form->cmdPlay->text(), "PLAY");

    settle();
    EXPECT_EQ(heard.seeks, std::vector<qlonglong>{100000000});
    EXPECT_EQ(heard.changes["PlaybackStatus"], (QVariantList{"Playing", "Stopped"}));
    EXPECT_EQ(heard.changes["Metadata"].size(), 3); // track 1, its cover, track 2
}

TEST_F(MprisClient, EachCoverHasAnAddressOfItsOwn) {
    load(QStringLiteral("/m/t.mp3"), u"Foo", u"Bar");
    const QString red = showCover(Qt::red);
    const QString path = QUrl(red).toLocalFile();
    EXPECT_TRUE(path.startsWith(file("run/velmora/cover-"))) << path.toStdString();
    QFile copy(path), handOff(file("temp.jpg"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly) && handOff.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), handOff.readAll());

    const QString blue = showCover(Qt::blue);
    EXPECT_NE(blue, red);
    EXPECT_EQ(copies(), QStringList{QFileInfo(QUrl(blue).toLocalFile()).fileName()}); // the old copy is gone
    EXPECT_EQ(showCover(Qt::blue), blue);                                              // same picture, same address

    form->ClearCover();
    EXPECT_FALSE(metadata().contains("mpris:artUrl"));
    EXPECT_TRUE(copies().isEmpty());

    showCover(Qt::red);
    load(QStringLiteral("/m/u.mp3"), u"Foo", u"Baz"); // the cover fades out with the old track
    EXPECT_TRUE(copies().isEmpty());

    showCover(Qt::red);
    ASSERT_EQ(copies().size(), 1);
    form->close(); // the player ends
    EXPECT_TRUE(copies().isEmpty());
}

TEST_F(MprisClient, VolumeMovesTheBarWhoseHandlerSetsTheLibrary) {
    struct Row {
        double volume;
        int bar;
    };
    int bar = form->ScSoftVol->value();
    for (const Row& r : {Row{0.3, 30}, Row{std::numeric_limits<double>::quiet_NaN(), 30}, Row{1.7, 100},
                         Row{-0.5, 0}, Row{0.456, 46}}) {
        SCOPED_TRACE(r.volume);
        stub.clearCalls();
        set("Volume", r.volume);
        EXPECT_EQ(form->ScSoftVol->value(), r.bar);
        const std::string v = std::to_string(r.bar);
        EXPECT_EQ(stub.calls(), r.bar == bar ? Calls{} : Calls{"setVolume " + v + " " + v});
        EXPECT_DOUBLE_EQ(get(kPlayer, "Volume").toDouble(), r.bar / 100.0);
        bar = r.bar;
    }
    form->WheelPlus(); // the window's own volume changes are announced too
    settle();
    EXPECT_EQ(heard.changes["Volume"], (QVariantList{0.3, 1.0, 0.0, 0.46, 0.51}));
}

TEST_F(MprisClient, OpenUriLoadsLocalMp3FilesAsADropDoes) {
    const QDBusMessage ok = call(kPlayer, "OpenUri", {"file:///m/My%20Song.MP3"});
    EXPECT_EQ(ok.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(form->FileName, "/m/My Song.MP3");
    EXPECT_EQ(veltest::firstCalls(stub.calls(), 5),
              (Calls{"stop", "encodeStop", "stop", "open /m/My Song.MP3", "play"}));

    for (const char* uri : {"file:///m/x.wav", "http://example.org/x.mp3"}) {
        SCOPED_TRACE(uri);
        stub.clearCalls();
        const QDBusMessage refused = call(kPlayer, "OpenUri", {QString::fromLatin1(uri)});
        EXPECT_EQ(refused.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(form->FileName, "/m/My Song.MP3");
        EXPECT_EQ(stub.calls(), Calls{});
    }
}

TEST_F(MprisClient, NextAndPreviousLoadTheFoldersNeighboursAsADropDoes) {
    const QDir music(file("music"));
    ASSERT_TRUE(music.mkpath("."));
    auto touch = [&](const char* name) { QFile(music.filePath(name)).open(QIODevice::WriteOnly); };
    touch("01.mp3");
    touch("02.mp3");
    load(music.filePath("01.mp3"));
    EXPECT_FALSE(get(kPlayer, "CanGoPrevious").toBool());
    EXPECT_TRUE(get(kPlayer, "CanGoNext").toBool());

    call(kPlayer, "Next");
    EXPECT_EQ(form->FileName, music.filePath("02.mp3"));
    EXPECT_EQ(veltest::firstCalls(stub.calls(), 4),
              (Calls{"stop", "encodeStop", "stop", "open " + music.filePath("02.mp3").toStdString()}));
    EXPECT_FALSE(get(kPlayer, "CanGoNext").toBool());
    stub.clearCalls();
    call(kPlayer, "Next"); // the last file: no wrap-around
    EXPECT_EQ(form->FileName, music.filePath("02.mp3"));
    EXPECT_EQ(stub.calls(), Calls{});

    // A file arriving in the folder is announced without any request.
    touch("10.mp3");
    EXPECT_TRUE(QTest::qWaitFor([&] { return heard.changes["CanGoNext"].size() == 3; }, 60000));
    EXPECT_EQ(heard.changes["CanGoNext"], (QVariantList{true, false, true}));
    EXPECT_EQ(heard.changes["CanGoPrevious"], (QVariantList{true}));

    call(kPlayer, "Previous");
    call(kPlayer, "Previous"); // the first file: stays
    EXPECT_EQ(form->FileName, music.filePath("01.mp3"));
}

TEST_F(MprisClient, QuitClosesAnOpenDialogThenTheWindowAndLeavesTheBus) {
    // The about box is modal; the request arrives while it is open.
    QDBusPendingCall quit =
        client.asyncCall(QDBusMessage::createMethodCall(kService, kPath, "org.mpris.MediaPlayer2", "Quit"));
    QTimer guard; // never hang on a box that stays open: a ceiling only
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    guard.start(60000);
    form->cmdOption_Click();
    EXPECT_TRUE(guard.isActive()) << "the about box was not closed by Quit";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 60000));
    EXPECT_EQ(stub.calls(), (Calls{"stop", "stopCallback", "free"}));
    EXPECT_TRUE(quit.isFinished() && !quit.isError());
    EXPECT_FALSE(client.interface()->isServiceRegistered(kService).value());
}

#include "MprisClientTest.moc"
