#pragma once
// The files the fetcher leaves for the player. A write replaces the whole file
// through a temporary file in the same folder and a rename, so a reader sees
// the old content or the new one, never half a file. The temporary file has no
// name while it is written, and SIGTERM, SIGINT and SIGHUP wait while it has
// one (EndSignals.h), so a fetcher ended at any moment leaves no temporary
// file behind.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace velfetch {

// False when the file could not be written; the old file is then unchanged
// and no temporary file is left behind.
bool ReplaceFileContent(const std::string& path, std::span<const std::uint8_t> bytes);

// Removes temporary files "<target>.XXXXXX" of the targets from `folder`: what
// a fetcher killed outright (SIGKILL, a crash, a power cut) may have left.
void RemoveLeftoverTemporaries(const std::string& folder, std::initializer_list<const char*> targets);

// True when `path` names something other than a folder.
bool FileExists(const std::string& path);

// Deletes the file; false when it could not be deleted.
bool DeleteFileQuietly(const std::string& path);

} // namespace velfetch
