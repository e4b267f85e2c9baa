#include "HandoffFolder.h"

#include "../fetcher/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Places are named relative to a fresh folder: "app", "run", "cache", "home".
struct HandoffCase {
    const char* name;
    bool appWritable;
    bool runtime, cache, home; // which variables are set
    const char* before;        // what "run/velmora" is beforehand: "", "dir0755", "file", "link"
    const char* expected;      // the folder chosen
};

void PrintTo(const HandoffCase& c, std::ostream* os) { *os << c.name; }

class HandoffFolderRule : public ::testing::TestWithParam<HandoffCase> {};

TEST_P(HandoffFolderRule, ChoosesAPrivateFolderOnlyWhenTheApplicationFolderIsReadOnly) {
    const HandoffCase& c = GetParam();
    veltest::TempFolder tmp;
    const std::string T = tmp.path();
    for (const char* d : {"app", "run", "elsewhere"}) fs::create_directory(T + "/" + d);
    // Also "dir0775" (group-writable) and "others" (another user's, 0755).
    const std::string before = c.before;
    if (before == "others" && ::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a folder to another user";
    }
    if (before.starts_with("dir") || before == "others") {
        fs::create_directory(T + "/run/velmora");
        ::chmod((T + "/run/velmora").c_str(), before == "dir0775" ? 0775 : 0755);
        if (before == "others") {
            ASSERT_EQ(::chown((T + "/run/velmora").c_str(), 65534, 65534), 0);
        }
    } else if (before == "file") {
        tmp.write("run/velmora", "x");
    } else if (before == "link") {
        fs::create_directory_symlink(T + "/elsewhere", T + "/run/velmora");
    }

    vel::HandoffPlaces places{T + "/app", c.runtime ? T + "/run" : "", c.cache ? T + "/cache" : "",
                              c.home ? T + "/home" : "",
                              [&](const std::string& f) { return c.appWritable && f == T + "/app"; }};
    const std::string chosen = vel::handoffFolder(places);
    EXPECT_EQ(chosen, T + "/" + c.expected);

    struct stat st {};
    ASSERT_EQ(::lstat(chosen.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    if (chosen != T + "/app") {
        EXPECT_EQ(st.st_mode & 0777, 0700u) << "a per-user hand-off folder must be private";
        EXPECT_EQ(st.st_uid, ::geteuid());
    }
    // Nothing is made in the application folder, nor through a planted link.
    EXPECT_TRUE(fs::is_empty(T + "/app"));
    EXPECT_TRUE(fs::is_empty(T + "/elsewhere"));
    if (chosen == T + "/app" && c.runtime) {
        EXPECT_FALSE(fs::exists(T + "/run/velmora"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandoffFolderRule,
    ::testing::Values(
        HandoffCase{"WritableApplicationFolder", true, true, true, true, "", "app"},
        HandoffCase{"RuntimeFolder", false, true, true, true, "", "run/velmora"},
        HandoffCase{"CacheHomeWithoutRuntime", false, false, true, true, "", "cache/velmora"},
        HandoffCase{"HomeCacheWithoutEither", false, false, false, true, "", "home/.cache/velmora"},
        HandoffCase{"LooseRuntimeFolderMadePrivate", false, true, true, true, "dir0755", "run/velmora"},
        HandoffCase{"GroupWritableRuntimeFolderPassedOver", false, true, true, true, "dir0775", "cache/velmora"},
        HandoffCase{"OtherUsersRuntimeFolderPassedOver", false, true, true, true, "others", "cache/velmora"},
        HandoffCase{"RuntimeEntryIsAFile", false, true, true, true, "file", "cache/velmora"},
        HandoffCase{"RuntimeEntryIsALink", false, true, true, true, "link", "cache/velmora"},
        HandoffCase{"NoPerUserFolderAtAll", false, false, false, false, "", "app"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
