#pragma once
// The user's own folders for what outlives one run of the fetcher, by the
// XDG base directory rules (a variable that is unset, empty or relative does
// not count).
#include <string>

namespace velfetch::opencatalog {

// "$XDG_CACHE_HOME/velmora", else "$HOME/.cache/velmora"; empty without either.
std::string UserCacheFolder();

// "$XDG_RUNTIME_DIR/velmora" (the login session's), else UserCacheFolder().
std::string UserRuntimeFolder();

// Creates the folder and any missing parents (those made: owner only); true
// when it exists as a folder afterwards.
bool MakeFolders(const std::string& path);

} // namespace velfetch::opencatalog
