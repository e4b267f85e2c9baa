#include "TagPlugin.h"

#include <dlfcn.h>

#include <string>

namespace vbmp3 {
namespace {

void* load() {
    Dl_info self{};
    if (dladdr(reinterpret_cast<const void*>(&TagPlugin::read), &self) == 0 || !self.dli_fname)
        return nullptr;
    std::string path = self.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + VBMP3_TAG_PLUGIN;
    // Local binding: TagLib's symbols stay out of the program's global scope.
    // Never unloaded: TagLib keeps static objects (the frame factory, our
    // Latin-1 handler) that must outlive every call.
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* plugin() {
    static void* const handle = load();
    return handle;
}

template <typename Fn>
Fn function(const char* name) {
    void* handle = plugin();
    return handle ? reinterpret_cast<Fn>(dlsym(handle, name)) : nullptr;
}

} // namespace

Vbmp3TagRead TagPlugin::read() {
    static const auto fn = function<Vbmp3TagRead>(VBMP3_TAG_READ);
    return fn;
}

Vbmp3TagGain TagPlugin::gain() {
    static const auto fn = function<Vbmp3TagGain>(VBMP3_TAG_GAIN);
    return fn;
}

} // namespace vbmp3
