#pragma once
// Where the hand-off files "temp.jpg" and "asin" live. The player starts the
// fetcher with its own environment, so both programs reach the same answer.
//
// The application folder when this user can write there (the build tree, a
// per-user install), so those behave as they always did. A system-wide install
// is read-only for users, and a folder shared by several users would let one
// user's fetcher overwrite another's cover; there the files go to a private
// per-user folder instead: $XDG_RUNTIME_DIR/velmora, else
// $XDG_CACHE_HOME/velmora, else ~/.cache/velmora, each opened by the
// private-folder rule (Folder::Private).
#include "Folder.h"

#include <functional>
#include <string>

namespace vel {

struct HandoffPlaces {
    std::string appFolder;
    std::string runtimeDir; // $XDG_RUNTIME_DIR
    std::string cacheHome;  // $XDG_CACHE_HOME
    std::string home;       // $HOME
    // Whether this user may create files in a folder.
    std::function<bool(const std::string&)> canWrite;
};

// The private per-user folder alone ($XDG_RUNTIME_DIR/velmora, else the cache
// folder's), opened by the private-folder rule; not usable when none passes.
Folder openUserFolder(const HandoffPlaces& places);
// Its path; empty when none passes.
std::string userFolder();

// The rule itself, the folder opened: the application folder as it is when
// the user can write there; otherwise the per-user folder. A per-user folder
// that fails the private-folder rule (not ours, writable by others, a link, not
// a folder) is passed over. When none passes, the application folder is
// returned: writes there fail quietly, and nothing is written anywhere else.
Folder openHandoffFolder(const HandoffPlaces& places);
// The same for this process: the application folder and the environment.
Folder openHandoffFolder();

// The chosen folder's path, for this process or the places given.
std::string handoffFolder(const HandoffPlaces& places);
std::string handoffFolder();

// Hand-off folder + "/" + name.
std::string handoffFile(const std::string& name);

} // namespace vel
