#include "LuceneQuery.h"

namespace velfetch::opencatalog {

std::string EscapeLucene(std::string_view text) {
    static constexpr std::string_view special = "+-&|!(){}[]^\"~*?:\\/";
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (special.find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return out;
}

std::string RecordingQuery(const TrackWords& words) {
    if (words.tagged())
        return "recording:\"" + EscapeLucene(words.title()) + "\" AND artist:\"" + EscapeLucene(words.artist()) + '"';
    std::string query = EscapeLucene(words.name());
    for (char& c : query)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return query;
}

} // namespace velfetch::opencatalog
