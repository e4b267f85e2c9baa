#include "ITunesSearch.h"

#include "CutField.h"
#include "JsonField.h"
#include "PercentEncode.h"
#include "ServiceHosts.h"

#include <algorithm>
#include <tuple>

namespace velfetch::opencatalog {
namespace {

// Percent-encoded with '+' for a space, as the API's documentation writes terms.
std::string termEncode(const std::string& text) {
    std::string out = PercentEncode(text);
    for (std::size_t at = 0; (at = out.find("%20", at)) != std::string::npos;) out.replace(at, 3, "+");
    return out;
}

// A field that may have been cut without its last word, which would match
// nothing when cut short.
std::string termWords(const std::string& text, bool mayBeCut) {
    if (!mayBeCut) return text;
    std::string whole = SplitCutWord(text).whole;
    return whole.empty() ? text : whole;
}

} // namespace

std::string ITunesSearchUrl(const TrackWords& words) {
    const std::string term = words.tagged() ? termWords(words.artist(), words.artistMayBeCut()) + ' ' +
                                                  termWords(words.title(), words.titleMayBeCut())
                                            : words.name();
    return std::string("https://") + vel::kITunesHost + "/search?term=" + termEncode(term) +
           "&country=JP&media=music&entity=song&limit=10";
}

std::vector<std::string> ChooseArtwork(std::span<const std::uint8_t> reply, const TrackWords& words,
                                       std::size_t limit) {
    static constexpr std::string_view kListed = "100x100bb", kWanted = "160x160bb";
    const nlohmann::json root = ParseJson(reply);
    struct Song {
        std::size_t match;
        int album;
        std::string url;
    };
    std::vector<Song> songs;
    for (const nlohmann::json& song : ArrayField(root, "results")) {
        std::string url = TextField(song, "artworkUrl100");
        // The artwork hosts serve https as well: a picture never comes in the clear.
        if (url.rfind("http://", 0) == 0) url.replace(0, 4, "https");
        if (url.rfind("https://", 0) != 0) continue;
        const auto match = words.Match(TextField(song, "artistName"), TextField(song, "trackName"));
        if (!match) continue;
        if (const auto at = url.rfind(kListed); at != std::string::npos) url.replace(at, kListed.size(), kWanted);
        songs.push_back({*match, words.AlbumRank(TextField(song, "collectionName")), std::move(url)});
    }
    // Stable: among equals the store's own order stands.
    std::stable_sort(songs.begin(), songs.end(), [](const Song& a, const Song& b) {
        return std::tie(a.match, a.album) < std::tie(b.match, b.album);
    });
    std::vector<std::string> urls;
    for (Song& song : songs) {
        if (urls.size() == limit) break;
        urls.push_back(std::move(song.url));
    }
    return urls;
}

} // namespace velfetch::opencatalog
