#pragma once
// Fixture paths, a scratch folder per test and small file and command helpers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <unistd.h>

namespace vbmp3test {

namespace fs = std::filesystem;

inline std::string fixture(const std::string& name) {
    return std::string(VBMP3_FIXTURE_DIR) + "/" + name;
}

inline std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeAll(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// What a shell command prints on its standard output.
inline std::string runCommand(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buf[4096];
    std::size_t n;
    while (p && (n = std::fread(buf, 1, sizeof buf, p.get())) > 0) out.append(buf, n);
    return out;
}

// A fresh folder removed with everything in it at the end of the test.
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("vbmp3-") + (info ? info->name() : "x") + "-" +
                           std::to_string(::getpid());
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = fs::temp_directory_path() / name;
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    fs::path file(const std::string& name) const { return path_ / name; }
    // A copy of a fixture, writable.
    std::string copy(const std::string& fixtureName, const std::string& as = {}) const {
        const fs::path to = path_ / (as.empty() ? fixtureName : as);
        fs::copy_file(fixture(fixtureName), to, fs::copy_options::overwrite_existing);
        return to.string();
    }

private:
    fs::path path_;
};

} // namespace vbmp3test
