#pragma once
// The pictures inside an MP3 file's tags.
#include "PicturePluginApi.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace velfetch::owncover {

// Receives one picture's bytes, as the tag holds them; returns true to stop.
using PictureTaker = std::function<bool(std::span<const std::uint8_t>)>;

// Hands over the pictures of the ID3v2 tag of the file open on fd (read by
// `id3v2`; none without it): 2.2 PIC and 2.3/2.4 APIC, front covers first,
// then the others in tag order; then those of its APEv2 tag ("Cover Art
// (Front)", then the other "Cover Art (...)" items, at most `apeCovers` of
// them), until `take` says stop. A tag larger than maxTagBytes is not read.
void ForEachEmbeddedPicture(int fd, VelId3v2Pictures id3v2, std::size_t maxTagBytes, std::size_t apeCovers,
                            const PictureTaker& take);

} // namespace velfetch::owncover
