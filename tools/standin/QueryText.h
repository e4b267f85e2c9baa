#pragma once
// Reading the query of a request target.
#include <string>

namespace standin {

// Raw (still percent-encoded) value of `key` in the query of `target`.
std::string queryValue(const std::string& target, const std::string& key);

// '+' as a space and %XX as its byte.
std::string percentDecode(const std::string& s);

} // namespace standin
