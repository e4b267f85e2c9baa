#include "TagPlugin.h"

#include <dlfcn.h>

#include <string>

namespace vbmp3 {
namespace {

Vbmp3TagRead load() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<const void*>(&TagPlugin::read), &self) == 0 || !self.dli_fname)
        return nullptr;
    std::string path = self.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + VBMP3_TAG_PLUGIN;
    // Local binding: TagLib's symbols stay out of the program's global scope.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    // Never unloaded: TagLib keeps static objects (the frame factory, our
    // Latin-1 handler) that must outlive every call.
    return reinterpret_cast<Vbmp3TagRead>(dlsym(handle, VBMP3_TAG_READ));
}

} // namespace

Vbmp3TagRead TagPlugin::read() {
    static const Vbmp3TagRead fn = load();
    return fn;
}

} // namespace vbmp3
