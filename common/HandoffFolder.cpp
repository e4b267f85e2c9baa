#include "HandoffFolder.h"

#include "AppFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vel {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    // Relative values are invalid for the XDG variables; HOME is taken alike.
    return value && value[0] == '/' ? value : "";
}

// Creates `folder` (and missing parents, each 0700 as the XDG base directories
// ask) and makes sure it is a folder of this user that nobody else can enter.
bool makePrivateFolder(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return false;
    return true;
}

} // namespace

std::string userFolder(const HandoffPlaces& places) {
    const std::string candidates[] = {
        places.runtimeDir.empty() ? "" : places.runtimeDir + "/velmora",
        !places.cacheHome.empty() ? places.cacheHome + "/velmora"
        : places.home.empty()     ? ""
                                  : places.home + "/.cache/velmora",
    };
    for (const std::string& folder : candidates)
        if (!folder.empty() && makePrivateFolder(folder)) return folder;
    return {};
}

std::string handoffFolder(const HandoffPlaces& places) {
    if (places.canWrite(places.appFolder)) return places.appFolder;
    const std::string own = userFolder(places);
    return own.empty() ? places.appFolder : own;
}

namespace {
HandoffPlaces thisProcess() {
    return {appFolder(), env("XDG_RUNTIME_DIR"), env("XDG_CACHE_HOME"), env("HOME"),
            [](const std::string& f) { return ::access(f.c_str(), W_OK | X_OK) == 0; }};
}
} // namespace

std::string userFolder() { return userFolder(thisProcess()); }

std::string handoffFolder() { return handoffFolder(thisProcess()); }

std::string handoffFile(const std::string& name) { return handoffFolder() + "/" + name; }

} // namespace vel
