// Start-up, the single-instance refusal, the window's shape and the shutdown.
#include "PlayerFixture.h"

#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QWindow>

using veltest::Calls;
using veltest::PlayerFixture;

namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

struct CommandLineCase {
    const char* commandLine;
    const char* fileName; // FileName after start-up
    bool loads;
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << "command line " << ::testing::PrintToString(std::string(c.commandLine));
}

class StartupCommandLine : public PlayerFixture, public ::testing::WithParamInterface<CommandLineCase> {};

} // namespace

TEST_F(PlayerFixture, StartsLibraryAndVolumeInOrderThenLoadsTheTrack) {
    ASSERT_TRUE(form->Form_Load(QStringLiteral("\"/music/My Song.mp3\"")));
    EXPECT_EQ(veltest::firstCalls(stub.calls(), 7), (Calls{"init", "setVolume 50 50", "getVolume", "setVolume 50 50",
                                                           "stop", "open /music/My Song.mp3", "play"}));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->cmdPlay->text(), "PAUSE");
    EXPECT_EQ(form->ScSoftVol->value(), 50);
    EXPECT_EQ(form->ScSoftVol->maximum(), 100);
    EXPECT_EQ(form->AsinFileName, file("asin"));
    EXPECT_TRUE(form->TimerStatus->isActive());
    EXPECT_EQ(form->TimerStatus->interval(), 100);
    EXPECT_FALSE(form->TimerImg->isActive());
    EXPECT_EQ(form->TimerImg->interval(), 1);
}

TEST_P(StartupCommandLine, TrimsQuotesAndLoadsOnlyMp3Endings) {
    const auto& c = GetParam();
    ASSERT_TRUE(form->Form_Load(QString::fromUtf8(c.commandLine)));
    EXPECT_EQ(form->FileName, QString::fromUtf8(c.fileName));
    const Calls calls = stub.calls();
    const Calls startUp{"init", "setVolume 50 50", "getVolume", "setVolume 50 50"};
    if (c.loads) {
        EXPECT_EQ(veltest::firstCalls(calls, 7), (Calls{startUp[0], startUp[1], startUp[2], startUp[3], "stop",
                                                        std::string("open ") + c.fileName, "play"}));
    } else {
        EXPECT_EQ(calls, startUp);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupCommandLine,
    ::testing::Values(CommandLineCase{"\"/m/a b.mp3\"", "/m/a b.mp3", true},
                      CommandLineCase{"/m/x.Mp3", "/m/x.Mp3", true},
                      CommandLineCase{"/m/x.MP3", "/m/x.MP3", true},
                      CommandLineCase{"/m/x.txt", "/m/x.txt", false},
                      CommandLineCase{"\"/m/a.mp3\" \"/m/b.mp3\"", "/m/a.mp3\" \"/m/b.mp3", true},
                      CommandLineCase{"\"", "", false},
                      CommandLineCase{"", "", false}));

TEST_F(PlayerFixture, SecondInstanceIsRefusedWithoutTouchingLibraryOrFiles) {
    QLockFile running(form->lockPath);
    ASSERT_TRUE(running.tryLock(0));
    touch(file("asin"));
    // The file goes to the running player before the box.
    std::vector<std::pair<QString, std::size_t>> handed; // command line, boxes shown by then
    form->handOff = [&](const QString& commandLine) { handed.emplace_back(commandLine, boxes.size()); };

    EXPECT_FALSE(form->Form_Load(QStringLiteral("/m/a.mp3")));
    EXPECT_EQ(handed, (std::vector<std::pair<QString, std::size_t>>{{"/m/a.mp3", 0}}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "Velmora");
    EXPECT_EQ(boxes[0].second, QStringLiteral("既に起動されています。"));
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->TimerStatus->isActive());

    form->close();
    EXPECT_TRUE(stub.calls().empty());
    EXPECT_TRUE(QFile::exists(file("asin")));
}

TEST_F(PlayerFixture, LockLeftByAPlayerThatDiedDoesNotRefuse) {
    // A lock as a player leaves it when it crashes: Qt's own contents, naming a process that has gone.
    QByteArray contents;
    {
        QLockFile probe(form->lockPath);
        ASSERT_TRUE(probe.tryLock(0));
        QFile f(form->lockPath);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        contents = f.readAll();
    }
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    contents.replace(0, contents.indexOf('\n'), QByteArray::number(pid));
    QFile lock(form->lockPath);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(contents);
    lock.close();

    EXPECT_TRUE(form->Form_Load({}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PlayerFixture, SecondWindowIsRefusedWhileTheFirstRuns) {
    start();
    velplay::frm_main second;
    second.lockPath = form->lockPath;
    bool refused = false;
    second.informationBox = [&](QWidget*, const QString&, const QString&) { refused = true; };
    EXPECT_FALSE(second.Form_Load({}));
    EXPECT_TRUE(refused);
}

TEST_F(PlayerFixture, WindowIsFixedSizeWithMinimiseButNoMaximise) {
    start();
    EXPECT_EQ(form->windowTitle(), "Velmora");
    EXPECT_EQ(form->size(), QSize(366, 226));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->pic_View->geometry(), QRect(1, 1, 364, 179));
    EXPECT_EQ(form->PicStatus->geometry(), QRect(1, 180, 364, 11));
    EXPECT_EQ(form->cmdOption->geometry(), QRect(314, 196, 50, 27));
    // The off-screen picture lies below both client heights.
    EXPECT_GT(form->pic_main->geometry().top(), 252);
}

TEST_F(PlayerFixture, TabOrderFollowsTheButtonRow) {
    const QWidget* order[] = {form->pic_main, form->pic_View, form->cmdPlay, form->cmdStop, form->cmdVol, form->cmdNext,
                              form->cmdLoad, form->cmdHelp, form->cmdOption, form->Label1, form->ScSoftVol, form->PicStatus};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1]) << "after control " << i;
}

TEST_F(PlayerFixture, ClosingDeletesAsinKeepsCoverAndReleasesLibrary) {
    start();
    touch(file("asin"));
    touch(file("temp.jpg"));
    form->close();
    EXPECT_FALSE(QFile::exists(file("asin")));
    EXPECT_TRUE(QFile::exists(file("temp.jpg")));
    EXPECT_EQ(stub.calls(), (Calls{"stop", "stopCallback", "free"}));
}

TEST_F(PlayerFixture, ClosingWithoutAsinOnlyReleasesLibrary) {
    start();
    // A folder named "asin" is no hand-off file and stays.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("asin")));
    form->close();
    EXPECT_TRUE(QFileInfo(file("asin")).isDir());
    EXPECT_EQ(stub.calls(), (Calls{"stop", "stopCallback", "free"}));
}
