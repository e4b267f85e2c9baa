#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace veltest {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velfetch-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }
    // The file's bytes, or nothing when there is no such file.
    std::optional<std::string> read(const std::string& name) const { return readFile(file(name)); }
    static std::optional<std::string> readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in || std::filesystem::is_directory(path)) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Names in the folder other than `except`.
    std::size_t countOthers(std::initializer_list<std::string> except) const {
        std::size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            bool listed = false;
            for (const auto& x : except) listed |= e.path().filename() == x;
            n += !listed;
        }
        return n;
    }

private:
    std::string path_;
};

} // namespace veltest
