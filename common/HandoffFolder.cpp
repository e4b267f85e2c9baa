#include "HandoffFolder.h"

#include "AppFolder.h"
#include "UserFolders.h"

#include <unistd.h>

namespace vel {

Folder openUserFolder(const HandoffPlaces& places) {
    const std::string candidates[] = {
        places.runtimeDir.empty() ? "" : places.runtimeDir + "/velmora",
        cacheFolder(places.cacheHome, places.home),
    };
    for (const std::string& path : candidates)
        if (Folder folder = Folder::Private(path); folder.usable()) return folder;
    return {};
}

Folder openHandoffFolder(const HandoffPlaces& places) {
    if (places.canWrite(places.appFolder)) return Folder::Plain(places.appFolder);
    Folder own = openUserFolder(places);
    return own.usable() ? std::move(own) : Folder::Plain(places.appFolder);
}

std::string handoffFolder(const HandoffPlaces& places) { return openHandoffFolder(places).path(); }

namespace {
HandoffPlaces thisProcess() {
    return {appFolder(), absoluteEnv("XDG_RUNTIME_DIR"), absoluteEnv("XDG_CACHE_HOME"), absoluteEnv("HOME"),
            [](const std::string& f) { return ::access(f.c_str(), W_OK | X_OK) == 0; }};
}
} // namespace

std::string userFolder() { return openUserFolder(thisProcess()).path(); }

Folder openHandoffFolder() { return openHandoffFolder(thisProcess()); }

std::string handoffFolder() { return handoffFolder(thisProcess()); }

std::string handoffFile(const std::string& name) { return handoffFolder() + "/" + name; }

} // namespace vel
