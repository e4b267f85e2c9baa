#include "UserFolders.h"

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

} // namespace vel
