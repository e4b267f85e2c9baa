#pragma once
// The pictures inside an MP3 file's tags, read with TagLib.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace velfetch::owncover {

// Receives one picture's bytes, as the tag holds them; returns true to stop.
using PictureTaker = std::function<bool(std::span<const std::uint8_t>)>;

// Hands over the pictures of the file's ID3v2 tag (2.2 PIC, 2.3 and 2.4
// APIC: front covers first, then the others in tag order), then those of its
// APEv2 tag ("Cover Art (Front)", then the other "Cover Art (...)" items),
// until `take` says stop. A file that cannot be read has none.
void ForEachEmbeddedPicture(const std::string& path, const PictureTaker& take);

// The same for a file's bytes held in memory.
void ForEachEmbeddedPicture(std::span<const std::uint8_t> file, const PictureTaker& take);

} // namespace velfetch::owncover
