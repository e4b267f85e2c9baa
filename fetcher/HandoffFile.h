#pragma once
// The files the fetcher leaves for the player. A write replaces the whole file
// through a temporary file in the same folder and a rename, so a reader sees
// the old content or the new one, never half a file.
#include <cstdint>
#include <span>
#include <string>

namespace velfetch {

// False when the file could not be written; the old file is then unchanged
// and no temporary file is left behind.
bool ReplaceFileContent(const std::string& path, std::span<const std::uint8_t> bytes);

// True when `path` names something other than a folder.
bool FileExists(const std::string& path);

// Deletes the file; false when it could not be deleted.
bool DeleteFileQuietly(const std::string& path);

} // namespace velfetch
