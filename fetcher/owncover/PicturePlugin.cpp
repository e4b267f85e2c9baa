#include "PicturePlugin.h"

#include "AppFolder.h"

#include <dlfcn.h>

namespace velfetch::owncover {
namespace {

PictureReaders load() {
    // Local binding: TagLib's and libpng's symbols stay out of the program's global scope.
    void* handle = dlopen(vel::appFile(VEL_PICTURE_PLUGIN).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return {};
    // Never unloaded: TagLib keeps static objects that must outlive every call.
    PictureReaders readers{reinterpret_cast<VelId3v2Pictures>(dlsym(handle, VEL_PICTURE_ID3V2)),
                           reinterpret_cast<VelPngDecode>(dlsym(handle, VEL_PICTURE_PNG))};
    if (readers.id3v2 && readers.png) return readers;
    dlclose(handle);
    return {};
}

} // namespace

const PictureReaders& PluginReaders() {
    static const PictureReaders readers = load();
    return readers;
}

} // namespace velfetch::owncover
