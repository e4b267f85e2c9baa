#include "ITunesSearch.h"

#include "JsonField.h"
#include "PercentEncode.h"
#include "ServiceHosts.h"

namespace velfetch::opencatalog {
namespace {

// Percent-encoded with '+' for a space, as the API's documentation writes terms.
std::string termEncode(const std::string& text) {
    std::string out = PercentEncode(text);
    for (std::size_t at = 0; (at = out.find("%20", at)) != std::string::npos;) out.replace(at, 3, "+");
    return out;
}

} // namespace

std::string ITunesSearchUrl(const TrackWords& words) {
    const std::string term = words.tagged() ? words.artist() + ' ' + words.title() : words.name();
    return std::string("https://") + vel::kITunesHost + "/search?term=" + termEncode(term) +
           "&country=JP&media=music&entity=song&limit=10";
}

std::vector<std::string> ChooseArtwork(std::span<const std::uint8_t> reply, const TrackWords& words,
                                       std::size_t limit) {
    static constexpr std::string_view kListed = "100x100bb", kWanted = "160x160bb";
    const nlohmann::json root = ParseJson(reply);
    std::vector<std::string> urls;
    for (const nlohmann::json& song : ArrayField(root, "results")) {
        if (urls.size() == limit) break;
        std::string url = TextField(song, "artworkUrl100");
        if (url.rfind("https://", 0) != 0 && url.rfind("http://", 0) != 0) continue;
        if (!words.Accepts(TextField(song, "artistName"), TextField(song, "trackName"))) continue;
        if (const auto at = url.rfind(kListed); at != std::string::npos) url.replace(at, kListed.size(), kWanted);
        urls.push_back(std::move(url));
    }
    return urls;
}

} // namespace velfetch::opencatalog
