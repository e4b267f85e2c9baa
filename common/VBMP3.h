#pragma once
// Binding of the decoder library: loads libvbmp3.so from the application folder
// at the first call and resolves each operation by name. A missing library or
// operation is fatal: the fatal handler reports it and the program exits non-zero.
#include "Records.h"

#include <cstdint>
#include <functional>
#include <string>

namespace VBMP3 {

using vel::ShortTagRecord;
using vel::TagRecord;
using vel::TrackInfo;

std::int32_t vbmp3_init();
std::int32_t vbmp3_setVolume(std::int32_t left, std::int32_t right);
std::int32_t vbmp3_getVolume(std::int32_t& left, std::int32_t& right);
std::int32_t vbmp3_stop();
std::int32_t vbmp3_encodeStop();
std::int32_t vbmp3_open(const std::string& path, TrackInfo& info);
std::int32_t vbmp3_play();
std::int32_t vbmp3_pause();
std::int32_t vbmp3_restart();
std::int32_t vbmp3_getState(std::int32_t& position);
std::int32_t vbmp3_seek(std::int32_t position);
std::int32_t vbmp3_getFileTagInfoEX(const std::string& path, TagRecord& tag);
std::int32_t vbmp3_setTagInfoEX(const std::string& path, TagRecord& tag, std::int32_t a, std::int32_t b);
std::int32_t vbmp3_getGenre(ShortTagRecord& rec);
std::int32_t vbmp3_stopCallback();
std::int32_t vbmp3_free();

using vel::CutAtNul;

// Library file to load instead of <application folder>/libvbmp3.so (tests).
// Unloads any library loaded so far.
void setLibraryPath(const std::string& path);

// Called with a message naming what is missing, before the program exits with
// kMissingLibraryExitCode. The default writes the message to standard error.
void setFatalHandler(std::function<void(const std::string&)> handler);

constexpr int kMissingLibraryExitCode = 3;

} // namespace VBMP3
