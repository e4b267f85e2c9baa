#pragma once
// Text compared the way a listener reads it: width, case and punctuation do
// not make two names different.
#include <string>
#include <string_view>

namespace velfetch::opencatalog {

// UTF-8 `text` in Unicode NFKC with case folding, with white space, control
// characters, punctuation and math and modifier symbols left out. Empty for
// text that is not valid UTF-8.
std::string NormalizeForMatch(std::string_view text);

} // namespace velfetch::opencatalog
