#include "HandoffFolder.h"

#include "AppFolder.h"
#include "UserFolders.h"

#include <unistd.h>

namespace vel {

std::string userFolder(const HandoffPlaces& places) {
    const std::string candidates[] = {
        places.runtimeDir.empty() ? "" : places.runtimeDir + "/velmora",
        cacheFolder(places.cacheHome, places.home),
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
    return {appFolder(), absoluteEnv("XDG_RUNTIME_DIR"), absoluteEnv("XDG_CACHE_HOME"), absoluteEnv("HOME"),
            [](const std::string& f) { return ::access(f.c_str(), W_OK | X_OK) == 0; }};
}
} // namespace

std::string userFolder() { return userFolder(thisProcess()); }

std::string handoffFolder() { return handoffFolder(thisProcess()); }

std::string handoffFile(const std::string& name) { return handoffFolder() + "/" + name; }

} // namespace vel
