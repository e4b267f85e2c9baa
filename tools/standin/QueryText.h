#pragma once
// Reading the query of a request target.
#include <string>
#include <vector>

namespace standin {

// Raw (still percent-encoded) value of `key` in the query of `target`.
std::string queryValue(const std::string& target, const std::string& key);

// '+' as a space and %XX as its byte.
std::string percentDecode(const std::string& s);

// The pieces of `text` between separators (one piece when there is none).
std::vector<std::string> split(const std::string& text, char separator);

} // namespace standin
