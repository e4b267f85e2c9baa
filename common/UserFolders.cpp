#include "UserFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vel {

std::string absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : "";
}

std::string cacheFolder(const std::string& cacheHome, const std::string& home) {
    if (!cacheHome.empty()) return cacheHome + "/velmora";
    if (!home.empty()) return home + "/.cache/velmora";
    return {};
}

std::string userCacheFolder() { return cacheFolder(absoluteEnv("XDG_CACHE_HOME"), absoluteEnv("HOME")); }

std::string userRuntimeFolder() {
    if (const std::string runtime = absoluteEnv("XDG_RUNTIME_DIR"); !runtime.empty()) return runtime + "/velmora";
    return userCacheFolder();
}

bool makeFolders(const std::string& path) {
    if (path.empty()) return false;
    for (std::size_t at = 1; at != std::string::npos;) {
        at = path.find('/', at + 1);
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makePrivateFolder(const std::string& path) {
    if (!makeFolders(path)) return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
    return true;
}

} // namespace vel
