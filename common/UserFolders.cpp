#include "UserFolders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace velfetch::opencatalog {
namespace {

std::string absolute(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : "";
}

} // namespace

std::string UserCacheFolder() {
    if (const std::string cache = absolute("XDG_CACHE_HOME"); !cache.empty()) return cache + "/velmora";
    if (const std::string home = absolute("HOME"); !home.empty()) return home + "/.cache/velmora";
    return {};
}

std::string UserRuntimeFolder() {
    if (const std::string runtime = absolute("XDG_RUNTIME_DIR"); !runtime.empty()) return runtime + "/velmora";
    return UserCacheFolder();
}

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    for (std::size_t at = 1; at != std::string::npos;) {
        at = path.find('/', at + 1);
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace velfetch::opencatalog
