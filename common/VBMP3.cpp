#include "VBMP3.h"

#include "AppFolder.h"
#include "HandoffContract.h"
#include "vbmp3_abi.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace VBMP3 {
namespace {

struct Closer {
    void operator()(void* handle) const {
        if (handle) dlclose(handle);
    }
};

struct Binding {
    std::string path;       // empty: the application folder's libvbmp3.so
    std::string loadedPath; // what was actually loaded
    std::unique_ptr<void, Closer> handle;
    std::function<void(const std::string&)> fatal;
};

Binding& binding() {
    static Binding b;
    return b;
}

[[noreturn]] void die(const std::string& message) {
    auto& b = binding();
    if (b.fatal) b.fatal(message);
    else std::fprintf(stderr, "%s\n", message.c_str());
    std::exit(kMissingLibraryExitCode);
}

void* library() {
    auto& b = binding();
    if (!b.handle) {
        std::string path = b.path.empty() ? vel::appFile(vel::kDecoderLibrary) : b.path;
        b.loadedPath = path;
        b.handle.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
        if (!b.handle) {
            const char* err = dlerror();
            die("The decoder library could not be loaded: " + path + (err ? std::string("\n") + err : ""));
        }
    }
    return b.handle.get();
}

// Resolves an operation by name at its first call; the pointer is kept until
// the library is unloaded (setLibraryPath), which bumps the generation.
unsigned& generation() {
    static unsigned g = 0;
    return g;
}

template <typename Fn>
Fn resolve(const char* name, Fn& cache, unsigned& cachedGen) {
    if (cache && cachedGen == generation()) return cache;
    void* lib = library();
    dlerror();
    void* sym = dlsym(lib, name);
    if (!sym) die(std::string("The decoder library has no operation ") + name + " in " + binding().loadedPath);
    cache = reinterpret_cast<Fn>(sym);
    cachedGen = generation();
    return cache;
}

// Calls the library's operation `name`, typed by its declaration in the
// public header (the global one, not this namespace's wrapper of that name).
#define VBMP3_CALL(name, ...)                                        \
    static decltype(&::name) cache_##name = nullptr;                 \
    static unsigned gen_##name = 0;                                  \
    return resolve(#name, cache_##name, gen_##name)(__VA_ARGS__)

} // namespace

std::int32_t vbmp3_init() { VBMP3_CALL(vbmp3_init); }

std::int32_t vbmp3_setVolume(std::int32_t left, std::int32_t right) {
    VBMP3_CALL(vbmp3_setVolume, left, right);
}

std::int32_t vbmp3_getVolume(std::int32_t& left, std::int32_t& right) {
    VBMP3_CALL(vbmp3_getVolume, &left, &right);
}

std::int32_t vbmp3_stop() { VBMP3_CALL(vbmp3_stop); }
std::int32_t vbmp3_encodeStop() { VBMP3_CALL(vbmp3_encodeStop); }
std::int32_t vbmp3_play() { VBMP3_CALL(vbmp3_play); }
std::int32_t vbmp3_pause() { VBMP3_CALL(vbmp3_pause); }
std::int32_t vbmp3_restart() { VBMP3_CALL(vbmp3_restart); }
std::int32_t vbmp3_stopCallback() { VBMP3_CALL(vbmp3_stopCallback); }
std::int32_t vbmp3_free() { VBMP3_CALL(vbmp3_free); }

std::int32_t vbmp3_getState(std::int32_t& position) {
    VBMP3_CALL(vbmp3_getState, &position);
}

std::int32_t vbmp3_seek(std::int32_t position) {
    VBMP3_CALL(vbmp3_seek, position);
}

namespace {

// Record calls: program form -> byte form, call, byte form -> program form.
template <typename Record, typename Call>
std::int32_t throughBytes(Record& record, Call call) {
    auto bytes = vel::toBytes(record);
    const std::int32_t r = call(bytes.data());
    vel::fromBytes(bytes, record);
    return r;
}

} // namespace

std::int32_t vbmp3_open(const std::string& path, TrackInfo& info) {
    return throughBytes(info, [&](std::uint8_t* b) { VBMP3_CALL(vbmp3_open, path.c_str(), b); });
}

std::int32_t vbmp3_getFileTagInfoEX(const std::string& path, TagRecord& tag) {
    return throughBytes(tag, [&](std::uint8_t* b) { VBMP3_CALL(vbmp3_getFileTagInfoEX, path.c_str(), b); });
}

std::int32_t vbmp3_setTagInfoEX(const std::string& path, TagRecord& tag, std::int32_t a, std::int32_t b) {
    return throughBytes(tag, [&](std::uint8_t* bytes) {
        VBMP3_CALL(vbmp3_setTagInfoEX, path.c_str(), bytes, a, b);
    });
}

std::int32_t vbmp3_getGenre(ShortTagRecord& rec) {
    return throughBytes(rec, [](std::uint8_t* b) { VBMP3_CALL(vbmp3_getGenre, b); });
}

void setLibraryPath(const std::string& path) {
    auto& b = binding();
    b.handle.reset();
    b.path = path;
    ++generation();
}

void setFatalHandler(std::function<void(const std::string&)> handler) { binding().fatal = std::move(handler); }

} // namespace VBMP3
