#include "ApePictures.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velfetch::owncover {
namespace {

constexpr std::string_view kFront = "COVER ART (FRONT)";

bool coverKey(const std::string& upper) { return upper.starts_with("COVER ART (") && upper.ends_with(')'); }

} // namespace

ApeCovers::ApeCovers(int fd, std::size_t maxTagBytes, std::size_t keep) : tag_(fd, keep == 0 ? 0 : maxTagBytes) {
    std::optional<std::span<const std::uint8_t>> front;
    std::map<std::string, std::span<const std::uint8_t>> others; // the first `keep` keys
    for (const auto& item : tag_.items()) {
        if (!coverKey(item.key) || item.type != veltag::ApeItems::Binary) continue;
        // The value: a file name, a NUL and the picture.
        auto value = item.value;
        const auto name = std::find(value.begin(), value.end(), 0);
        value = name == value.end() ? value.last(0) : value.subspan(std::size_t(name - value.begin()) + 1);
        if (item.key == kFront) {
            front = value;
            continue;
        }
        others.insert_or_assign(item.key, value);
        if (others.size() > keep) others.erase(std::prev(others.end()));
    }
    if (front) pictures_.push_back(*front);
    for (const auto& [key, value] : others) pictures_.push_back(value);
    if (pictures_.size() > keep) pictures_.resize(keep);
}

} // namespace velfetch::owncover
