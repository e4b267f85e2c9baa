#include "PicturesBeside.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>
#include <tuple>

namespace velfetch::owncover {
namespace {

constexpr std::array<std::string_view, 5> kNames = {"cover", "folder", "front", "albumart", "albumartsmall"};
constexpr std::array<std::string_view, 3> kExtensions = {".jpg", ".jpeg", ".png"};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

template <std::size_t N>
std::size_t indexOf(const std::array<std::string_view, N>& list, std::string_view s) {
    return static_cast<std::size_t>(std::find(list.begin(), list.end(), s) - list.begin());
}

} // namespace

std::vector<std::string> PicturesBeside(const std::string& trackPath) {
    namespace fs = std::filesystem;
    const auto slash = trackPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : trackPath.substr(0, slash);

    std::vector<std::tuple<std::size_t, std::size_t, std::string>> found; // name rank, extension rank, file name
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string low = lower(name);
        const auto dot = low.rfind('.');
        if (dot == std::string::npos) continue;
        const std::size_t n = indexOf(kNames, std::string_view(low).substr(0, dot));
        const std::size_t e = indexOf(kExtensions, std::string_view(low).substr(dot));
        std::error_code typeError;
        if (n < kNames.size() && e < kExtensions.size() && it->is_regular_file(typeError))
            found.emplace_back(n, e, name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (const auto& [n, e, name] : found) paths.push_back(folder + "/" + name);
    return paths;
}

} // namespace velfetch::owncover
