#pragma once
// Points the decoder binding at the recording stand-in library and steers it.
#include "Records.h"
#include "VBMP3.h"

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef VEL_STUB_LIBRARY
#error "VEL_STUB_LIBRARY must name the stand-in library"
#endif

namespace veltest {

class StubLibrary {
public:
    StubLibrary() {
        VBMP3::setLibraryPath(VEL_STUB_LIBRARY);
        handle_ = dlopen(VEL_STUB_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!handle_) throw std::runtime_error(dlerror());
        call<void (*)()>("vbstub_reset")();
    }
    ~StubLibrary() {
        VBMP3::setLibraryPath({});
        if (handle_) dlclose(handle_);
    }
    StubLibrary(const StubLibrary&) = delete;
    StubLibrary& operator=(const StubLibrary&) = delete;

    // Logged calls, one per line: "open /x.mp3", "setVolume 50 50", ...
    std::vector<std::string> calls() const {
        std::vector<std::string> out;
        std::string all = call<const char* (*)()>("vbstub_calls")();
        for (std::size_t pos = 0, nl; (nl = all.find('\n', pos)) != std::string::npos; pos = nl + 1)
            out.push_back(all.substr(pos, nl - pos));
        return out;
    }
    void clearCalls() { call<void (*)()>("vbstub_clear_calls")(); }
    void setState(int32_t state, int32_t position = 0) { call<void (*)(int32_t, int32_t)>("vbstub_set_state")(state, position); }
    void setOpen(int32_t result, int32_t length) { call<void (*)(int32_t, int32_t)>("vbstub_set_open")(result, length); }
    void setTag(const vel::TagRecord& tag, int32_t result = 1) {
        auto bytes = vel::toBytes(tag);
        call<void (*)(const uint8_t*, int32_t)>("vbstub_set_tag")(bytes.data(), result);
    }
    void setTagBytes(const vel::TagRecordBytes& bytes, int32_t result = 1) {
        call<void (*)(const uint8_t*, int32_t)>("vbstub_set_tag")(bytes.data(), result);
    }
    void failTagRead() { call<void (*)(const uint8_t*, int32_t)>("vbstub_set_tag")(nullptr, 0); }
    void setSetTagResult(int32_t r) { call<void (*)(int32_t)>("vbstub_set_settag_result")(r); }
    // The last record given to vbmp3_setTagInfoEX, and how many writes there were.
    int32_t writtenTag(vel::TagRecordBytes& out) const {
        return call<int32_t (*)(uint8_t*)>("vbstub_written_tag")(out.data());
    }
    void setGenreName(int32_t genre, const std::string& cp932) {
        call<void (*)(int32_t, const char*)>("vbstub_set_genre_name")(genre, cp932.c_str());
    }

private:
    template <typename Fn>
    Fn call(const char* name) const {
        void* sym = dlsym(handle_, name);
        if (!sym) throw std::runtime_error(std::string("stub lacks ") + name);
        return reinterpret_cast<Fn>(sym);
    }
    void* handle_ = nullptr;
};

} // namespace veltest
