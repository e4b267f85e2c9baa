#pragma once
// The user's own folders for what outlives one run of a program, by the XDG
// base directory rules (a variable that is unset, empty or relative does not
// count; HOME is taken alike).
#include <string>

namespace vel {

// The variable's value when it is an absolute path, else empty.
std::string absoluteEnv(const char* name);

// "<cacheHome>/velmora", else "<home>/.cache/velmora"; empty without either.
std::string cacheFolder(const std::string& cacheHome, const std::string& home);

// cacheFolder() of this process's environment.
std::string userCacheFolder();

// "$XDG_RUNTIME_DIR/velmora" (the login session's), else userCacheFolder().
std::string userRuntimeFolder();

// Creates the folder and any missing parents (those made: owner only); true
// when it exists as a folder afterwards.
bool makeFolders(const std::string& path);

// makeFolders(), and then the folder must be this user's and nobody else's:
// not a link, owned by this user, mode 0700 (tightened when it is looser).
bool makePrivateFolder(const std::string& path);

} // namespace vel
