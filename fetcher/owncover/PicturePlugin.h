#pragma once
// The picture plug-in (PicturePluginApi.h), loaded from the program's folder.
#include "PicturePluginApi.h"

namespace velfetch::owncover {

struct PictureReaders {
    VelId3v2Pictures id3v2 = nullptr; // nullptr: none
    VelPngDecode png = nullptr;
};

// The plug-in's readers, loaded at the first call and kept from then on;
// none when the plug-in is missing or unusable: no picture is then read from
// an ID3v2 tag, nor any PNG picture.
const PictureReaders& PluginReaders();

} // namespace velfetch::owncover
