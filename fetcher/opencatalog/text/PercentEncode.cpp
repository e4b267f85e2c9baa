#include "PercentEncode.h"

#include <curl/curl.h>

#include <memory>

namespace velfetch::opencatalog {

std::string PercentEncode(const std::string& text) {
    const std::unique_ptr<char, decltype(&curl_free)> escaped(curl_easy_escape(nullptr, text.data(), int(text.size())),
                                                              &curl_free);
    return escaped ? escaped.get() : "";
}

} // namespace velfetch::opencatalog
