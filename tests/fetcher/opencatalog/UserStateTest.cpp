// The user's own state (the answer cache, the pace files) in a folder that
// someone else may have prepared: nothing is read from it, nothing is written
// through a link planted in it, and pacing still holds within the process.
// The pace file's lock and its times of another boot.
#include "AnswerCache.h"
#include "RequestPace.h"
#include "TempFolder.h"
#include "opencatalog/PlayedBack.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;
using velfetch::opencatalog::AnswerCache;
using velfetch::opencatalog::RequestPace;

namespace {

namespace fs = std::filesystem;
using Time = velfetch::opencatalog::Clock::time_point;

enum class Spoil { None, GroupWritable, OtherUsers, FolderIsALink };

struct SpoilCase {
    const char* name;
    Spoil spoil;
};
void PrintTo(const SpoilCase& c, std::ostream* os) { *os << c.name; }

class SpoiledFolder : public ::testing::TestWithParam<SpoilCase> {};

std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_P(SpoiledFolder, NothingReadNothingWrittenThroughALink) {
    const SpoilCase& c = GetParam();
    if (c.spoil == Spoil::OtherUsers && geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
    veltest::TempFolder home;
    const std::string folder = home.file("velmora"), real = home.file("real");
    home.write("victim", "precious");
    AnswerCache(folder).Store("kept", {veltest::bytes(veltest::jpeg(16, 16)), "B000TEST01", "musicbrainz"});
    ASSERT_TRUE(AnswerCache(folder).Find("kept"));
    fs::create_symlink(home.file("victim"), folder + "/musicbrainz.pace");
    switch (c.spoil) {
    case Spoil::None: break;
    case Spoil::GroupWritable: ASSERT_EQ(chmod(folder.c_str(), 0770), 0); break;
    case Spoil::OtherUsers: ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0); break;
    case Spoil::FolderIsALink:
        fs::rename(folder, real);
        fs::create_directory_symlink(real, folder);
        break;
    }
    const std::string inside = c.spoil == Spoil::FolderIsALink ? real : folder;
    const auto before = listing(inside);

    AnswerCache cache(folder);
    EXPECT_EQ(cache.Find("kept").has_value(), c.spoil == Spoil::None);
    const vel::Folder paceFolder = vel::Folder::Private(folder);
    RequestPace pace(paceFolder, "musicbrainz.pace", 1, std::chrono::milliseconds(1000));
    const Time now{100s};
    const auto first = pace.Reserve(now, now, now + 1min), second = pace.Reserve(now, now, now + 1min);
    ASSERT_TRUE(first && second);
    EXPECT_GE(*second - *first, 1s) << "pacing holds within the process";

    EXPECT_EQ(veltest::TempFolder::readFile(home.file("victim")), "precious");
    EXPECT_TRUE(fs::is_symlink(inside + "/musicbrainz.pace"));
    cache.Store("new", {});
    if (c.spoil != Spoil::None) {
        EXPECT_EQ(listing(inside), before) << "nothing is written into a folder that fails the rule";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SpoiledFolder,
                         ::testing::Values(SpoilCase{"OwnFolderWithAPlantedLink", Spoil::None},
                                           SpoilCase{"GroupWritable", Spoil::GroupWritable},
                                           SpoilCase{"OtherUsers", Spoil::OtherUsers},
                                           SpoilCase{"FolderIsALink", Spoil::FolderIsALink}),
                         [](const auto& info) { return std::string(info.param.name); });

// XDG_CACHE_HOME on a folder everybody writes, where another user made
// "velmora" first: nothing of this user's is made or read below it.
TEST(SharedCacheHome, AnotherUsersFolderIsNotEntered) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
    veltest::TempFolder home;
    const std::string shared = home.file("shared"), theirs = shared + "/velmora";
    fs::create_directories(theirs);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    AnswerCache cache(theirs + "/answers");
    cache.Store("a", {});
    EXPECT_FALSE(cache.Find("a"));
    EXPECT_TRUE(fs::is_empty(theirs));
}

// Another fetcher that keeps the file locked holds a turn up only until the
// lookup's end, or until the stop is requested.
TEST(PaceLock, WaitsUntilTheEndOrTheStop) {
    veltest::TempFolder home;
    const vel::Folder folder = vel::Folder::Private(home.file("velmora"));
    RequestPace pace(folder, "itunes.pace", 20, std::chrono::milliseconds(60000));
    const Time now{100s};
    ASSERT_TRUE(pace.Reserve(now, now, now + 1min)); // the file exists now

    const int held = open(home.file("velmora/itunes.pace").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    EXPECT_FALSE(pace.Reserve(now, now, now + 50ms)) << "its end came while the file was held";
    std::stop_source stop;
    std::optional<Time> turn = now;
    std::thread waiter([&] { turn = pace.Reserve(now, now, now + 1h, stop.get_token()); });
    stop.request_stop();
    waiter.join(); // a ceiling of an hour: only the stop ends it in time
    EXPECT_FALSE(turn);
    close(held);
    EXPECT_TRUE(pace.Reserve(now, now, now + 1min));
}

// Steady-clock times start anew with the machine: those of another boot are no turns.
TEST(PaceLock, TimesOfAnotherBootCountAsNone) {
    veltest::TempFolder home;
    const vel::Folder folder = vel::Folder::Private(home.file("velmora"));
    std::string boot;
    std::getline(std::ifstream("/proc/sys/kernel/random/boot_id"), boot);
    if (boot.empty()) GTEST_SKIP() << "no boot id here";
    const Time now{100s};
    char line[32];
    std::snprintf(line, sizeof line, "%020lld\n", static_cast<long long>((now + 20s).time_since_epoch().count()));
    for (const std::string& id : {boot, std::string("00000000-0000-4000-8000-000000000000")}) {
        home.write("velmora/musicbrainz.pace", "boot " + id + "\n" + line);
        RequestPace pace(folder, "musicbrainz.pace", 1, std::chrono::milliseconds(1000));
        const auto turn = pace.Reserve(now, now, now + 1min);
        ASSERT_TRUE(turn);
        EXPECT_EQ(*turn, id == boot ? now + 21s : now) << id;
    }
}

} // namespace
