#pragma once
// Names of the ID3v1 genre numbers: the standard list for 0-191, none above.
#include <string_view>

namespace vbmp3 {

class GenreNames {
public:
    static constexpr int kNamed = 192;
    // The name of a genre 0-255; empty for 192-255 and for anything out of range.
    static std::string_view name(int genre);
    // The number of a standard genre name in any letter case; -1 for others.
    static int number(std::string_view name);
};

} // namespace vbmp3
