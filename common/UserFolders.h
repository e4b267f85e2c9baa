#pragma once
// Where the user's own folders are, by the XDG base directory rules (a
// variable that is unset, empty or relative does not count; HOME is taken
// alike). They are opened by the private-folder rule (Folder::Private).
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

} // namespace vel
