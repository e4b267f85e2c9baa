#pragma once
// The name a track goes by on the sound server (its stream in the desktop's
// mixer): the title of its ID3v1 tag, else of its ID3v2 or APEv2 tag, else
// its file name; always valid UTF-8.
#include <string>

namespace vbmp3 {

std::string trackTitle(const char* path);

} // namespace vbmp3
