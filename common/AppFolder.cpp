#include "AppFolder.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace vel {
namespace {

std::string& override_() {
    static std::string folder;
    return folder;
}

std::string executableFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    auto folder = exe.parent_path().string();
    return folder.empty() ? "/" : folder;
}

} // namespace

std::string appFolder() {
    if (!override_().empty()) return override_();
    static const std::string folder = executableFolder();
    return folder;
}

std::string appFile(const std::string& name) { return appFolder() + "/" + name; }

void setAppFolderForTesting(std::string folder) { override_() = std::move(folder); }

} // namespace vel
