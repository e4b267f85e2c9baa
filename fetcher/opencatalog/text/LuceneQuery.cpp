#include "LuceneQuery.h"

#include "CutField.h"

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

namespace {

// A prefix of one letter would ask for a good part of the index.
constexpr std::size_t kMinPrefix = 2;

std::string phrase(const char* field, const std::string& text) {
    return std::string(field) + ":\"" + EscapeLucene(text) + '"';
}

std::string fieldQuery(const char* field, const std::string& text, bool mayBeCut) {
    if (!mayBeCut) return phrase(field, text);
    const CutWords words = SplitCutWord(text);
    std::string query;
    if (!words.whole.empty()) query = phrase(field, words.whole);
    if (words.partial.size() >= kMinPrefix)
        query += (query.empty() ? "" : " AND ") + std::string(field) + ':' + words.partial + '*';
    // Nothing safe to ask: the text as it is may still find something.
    return query.empty() ? phrase(field, text) : query;
}

} // namespace

std::string RecordingQuery(const TrackWords& words) {
    if (words.tagged())
        return fieldQuery("recording", words.title(), words.titleMayBeCut()) + " AND " +
               fieldQuery("artist", words.artist(), words.artistMayBeCut());
    std::string query = EscapeLucene(words.name());
    for (char& c : query)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return query;
}

} // namespace velfetch::opencatalog
