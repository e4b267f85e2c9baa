#pragma once
// The pictures of the ID3v2 tag at the start of an MP3 file.
#include "PicturePluginApi.h"

#include <cstddef>

namespace velpictures {

// As VelId3v2Pictures (PicturePluginApi.h) says.
void ReadId3v2Pictures(int fd, std::size_t maxTagBytes, VelPictureTake take, void* context);

} // namespace velpictures
