#pragma once
// The files the fetcher leaves for the player, in the hand-off folder
// (vel::openHandoffFolder). A write replaces the whole file through a
// temporary file in the same folder and a rename, so a reader sees the old
// content or the new one, never half a file. The temporary file has no name
// while it is written, and SIGTERM, SIGINT and SIGHUP wait while it has one,
// so a fetcher ended at any moment leaves no temporary file behind.
#include "Folder.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace velfetch {

// False when the file could not be written; the old file is then unchanged
// and no temporary file is left behind.
bool ReplaceFileContent(const vel::Folder& folder, const std::string& name, std::span<const std::uint8_t> bytes);

// Removes temporary files "<target>.XXXXXX" of the targets from `folder`: what
// a fetcher killed outright (SIGKILL, a crash, a power cut) may have left.
void RemoveLeftoverTemporaries(const vel::Folder& folder, std::initializer_list<const char*> targets);

} // namespace velfetch
