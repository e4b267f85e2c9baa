#pragma once
// How far a tag found in the user's file is read: it costs no more than its
// own size, whatever its frames or items say.
#include <cstddef>

namespace veltag {

// A tag larger than this is not read at all.
inline constexpr std::size_t kMaxTagBytes = std::size_t(32) << 20;
// Frames of an ID3v2 tag, or items of an APEv2 tag, read at most.
inline constexpr unsigned kMaxTagEntries = 4096;

} // namespace veltag
