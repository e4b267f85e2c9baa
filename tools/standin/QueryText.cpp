#include "QueryText.h"

#include <cctype>

namespace standin {

std::string queryValue(const std::string& target, const std::string& key) {
    auto q = target.find('?');
    if (q == std::string::npos) return {};
    std::string query = "&" + target.substr(q + 1);
    auto at = query.find("&" + key + "=");
    if (at == std::string::npos) return {};
    at += key.size() + 2;
    return query.substr(at, query.find('&', at) - at);
}

std::string percentDecode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() && std::isxdigit((unsigned char)s[i + 1]) &&
                   std::isxdigit((unsigned char)s[i + 2])) {
            out += char(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1)
        parts.push_back(text.substr(from, at - from));
    parts.push_back(text.substr(from));
    return parts;
}

} // namespace standin
