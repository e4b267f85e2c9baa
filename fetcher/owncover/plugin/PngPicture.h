#pragma once
// PNG pictures decoded with libpng under hard bounds.
#include "PicturePluginApi.h"

#include <cstddef>

namespace velpictures {

// As VelPngDecode (PicturePluginApi.h) says.
int DecodePng(const unsigned char* png, std::size_t length, long long maxPixels, long long untilNs,
              VelPngPixels pixels, void* context);

} // namespace velpictures
