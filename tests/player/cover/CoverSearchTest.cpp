// Starting the fetcher, waiting for it and handing over to the cover display,
// with stand-in fetcher scripts in a temporary application folder.
#include "FetcherFolder.h"
#include "cover/CoverSearch.h"
#include "desktop/Notice.h"

#include <QCoreApplication>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <vector>

using velplay::CoverSearch;
using velplay::FetcherProcess;

namespace {

class CoverSearchTest : public veltest::FetcherFolder {
protected:
    void SetUp() override {
        FetcherFolder::SetUp();
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] { search.TimerImg_Timer(); });
        velplay::setNoticeHookForTesting([this](const velplay::Notice& n) { notices.push_back(n); });
    }
    void TearDown() override {
        search.process().end();
        velplay::setNoticeHookForTesting({});
        FetcherFolder::TearDown();
    }

    // Until the timer has stopped, then a little more: a second hand-over would show.
    void waitForEnd() {
        waitUntilStopped(timer);
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    }

    QTimer timer;
    int shown = 0, cleared = 0;
    std::vector<velplay::Notice> notices;
    CoverSearch search{timer, nullptr, [this] { ++shown; }, [this] { ++cleared; }};
};

struct EndCase {
    const char* script;
    bool leavesCover;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << '"' << c.script << '"'; }

class FetcherEnds : public CoverSearchTest, public ::testing::WithParamInterface<EndCase> {};

// Exit code 0, 1 and a crash are alike: only "temp.jpg" decides, once per fetcher.
TEST_P(FetcherEnds, ShowsOrClearsExactlyOnce) {
    const QString cover = GetParam().leavesCover ? "touch \"$(dirname \"$0\")/temp.jpg\"\n" : "";
    writeFetcher(cover + GetParam().script);
    ASSERT_TRUE(search.StartCoverSearch(tmp.filePath("x.mp3")));
    const pid_t pid = search.process().pid();
    waitForEnd();
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(shown, GetParam().leavesCover ? 1 : 0);
    EXPECT_EQ(cleared, GetParam().leavesCover ? 0 : 1);
    // Reaped: no zombie is left behind.
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_TRUE(notices.empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, FetcherEnds,
                         ::testing::Values(EndCase{"exit 0", true}, EndCase{"exit 1", false},
                                           EndCase{"kill -SEGV $$", true}, EndCase{"kill -KILL $$", false}));

TEST_F(CoverSearchTest, CoverThatIsNoOrdinaryFileCountsAsAbsent) {
    ASSERT_TRUE(QDir(folder).mkdir("temp.jpg"));
    writeFetcher("exit 0");
    ASSERT_TRUE(search.StartCoverSearch(tmp.filePath("x.mp3")));
    waitForEnd();
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(cleared, 1);
}

TEST_F(CoverSearchTest, MissingFetcherFailsSilentlyAndLeavesTimerAlone) {
    for (bool running : {false, true}) {
        if (running) timer.start();
        EXPECT_FALSE(search.StartCoverSearch(tmp.filePath("x.mp3")));
        EXPECT_EQ(timer.isActive(), running);
        timer.stop();
    }
    EXPECT_TRUE(notices.empty());
}

TEST_F(CoverSearchTest, OtherStartFailureShowsErrorNumber) {
    writeFetcher("exit 0", QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_FALSE(search.StartCoverSearch(tmp.filePath("x.mp3")));
    EXPECT_FALSE(timer.isActive());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].icon, velplay::NoticeIcon::Critical);
    EXPECT_EQ(notices[0].title, "ERROR");
    EXPECT_EQ(notices[0].text, "ERR CODE = " + QString::number(EACCES));
}

TEST_F(CoverSearchTest, SecondLoadEndsAndReapsTheFirstFetcher) {
    writeFetcher("exec sleep 30");
    ASSERT_TRUE(search.StartCoverSearch(tmp.filePath("a.mp3")));
    const pid_t first = search.process().pid();
    ASSERT_TRUE(search.StartCoverSearch(tmp.filePath("b.mp3")));
    const pid_t second = search.process().pid();
    EXPECT_NE(first, second);
    EXPECT_EQ(waitpid(first, nullptr, WNOHANG), -1); // gone and reaped
    EXPECT_EQ(kill(second, 0), 0);
    EXPECT_TRUE(timer.isActive());
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(shown + cleared, 0); // still waiting for the second
}

TEST(FetcherProcessTest, DestroyingTheHolderLeavesTheFetcherRunning) {
    pid_t pid = 0;
    {
        FetcherProcess p;
        ASSERT_EQ(p.start("/bin/sleep", "30"), 0);
        pid = p.pid();
        EXPECT_TRUE(p.stillActive());
    }
    EXPECT_EQ(kill(pid, 0), 0);
    kill(pid, SIGKILL);
    EXPECT_EQ(waitpid(pid, nullptr, 0), pid);
}

} // namespace
