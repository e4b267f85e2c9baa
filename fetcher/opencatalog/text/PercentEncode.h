#pragma once
#include <string>

namespace velfetch::opencatalog {

// RFC 3986 percent-encoding of UTF-8 text (all but letters, digits and "-._~").
std::string PercentEncode(const std::string& text);

} // namespace velfetch::opencatalog
