#pragma once
// The short name of a track file: its file name, or its cleaned base name.
#include <array>
#include <string>
#include <string_view>

namespace vel {

// Removed from base names in this order when cleaning.
extern const std::array<std::u16string_view, 10> NoiseWords;

// clean == false: the last path component with its extension.
// clean == true: the base name (last extension dropped) with every NoiseWord removed.
std::u16string GetTitleName(std::u16string_view path, bool clean);

} // namespace vel
