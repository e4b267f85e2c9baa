#include "OpenCatalogues.h"

#include "QueryText.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace standin {
namespace {

using nlohmann::json;

constexpr char kStorageHost[] = "archive.org";
constexpr char kArtworkHost[] = "is1-ssl.mzstatic.com";

OpenReply reply(int status, std::string type, std::string body, std::string location = {}) {
    return OpenReply{status, std::move(type), std::move(body), std::move(location)};
}

OpenReply notFound() { return reply(404, "text/plain", "Not Found"); }

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool mentions(const std::string& words, const OpenTrack& track) {
    const std::string w = lower(words);
    return w.find(lower(track.artist)) != std::string::npos && w.find(lower(track.title)) != std::string::npos;
}

const OpenTrack* byRelease(const Config& config, const std::string& id) {
    for (const auto& t : config.openTracks)
        if (!t.release.empty() && t.release == id) return &t;
    return nullptr;
}

std::string albumTitle(const OpenTrack& track) { return track.album.empty() ? track.title + " (album)" : track.album; }

std::string image(const OpenTrack& track) { return track.imageBytes.empty() ? defaultImage() : track.imageBytes; }

json credit(const std::string& artist) {
    return json::array(
        {{{"name", artist},
          {"joinphrase", ""},
          {"artist", {{"id", "00000000-0000-4000-8000-00000000a001"}, {"name", artist}, {"sort-name", artist}}}}});
}

json recordingSearch(const Config& config, const std::string& target) {
    const std::string query = percentDecode(queryValue(target, "query"));
    json recordings = json::array();
    for (const auto& t : config.openTracks) {
        if (t.release.empty() || !mentions(query, t)) continue;
        json release = {
            {"id", t.release},
            {"status", "Official"},
            {"title", albumTitle(t)},
            {"release-group", {{"id", "00000000-0000-4000-8000-00000000b001"}, {"primary-type", "Album"}}},
            {"date", "2004-05-26"},
            {"country", "JP"},
            {"release-events",
             json::array({{{"date", "2004-05-26"}, {"area", {{"name", "Japan"}, {"iso-3166-1-codes", {"JP"}}}}}})},
            {"track-count", 10}};
        recordings.push_back({{"id", "00000000-0000-4000-8000-00000000c001"},
                              {"score", 100},
                              {"title", t.title},
                              {"length", 215000},
                              {"video", nullptr},
                              {"artist-credit", credit(t.artist)},
                              {"first-release-date", "2004-05-26"},
                              {"releases", json::array({release})}});
    }
    return {{"created", "2024-01-01T00:00:00.000Z"},
            {"count", recordings.size()},
            {"offset", 0},
            {"recordings", recordings}};
}

OpenReply musicBrainz(const Config& config, const std::string& target) {
    static const std::string releasePath = "/ws/2/release/";
    if (target.rfind("/ws/2/recording?", 0) == 0)
        return reply(200, "application/json", recordingSearch(config, target).dump());
    if (target.rfind(releasePath, 0) == 0) {
        const std::string id = target.substr(releasePath.size(), target.find('?') - releasePath.size());
        if (const OpenTrack* t = byRelease(config, id)) {
            const json release = {{"id", id},
                                  {"title", albumTitle(*t)},
                                  {"status", "Official"},
                                  {"asin", t->asin.empty() ? json(nullptr) : json(t->asin)},
                                  {"country", "JP"},
                                  {"date", "2004-05-26"},
                                  {"cover-art-archive",
                                   {{"artwork", t->front},
                                    {"count", t->front ? 1 : 0},
                                    {"front", t->front},
                                    {"back", false},
                                    {"darkened", false}}}};
            return reply(200, "application/json", release.dump());
        }
    }
    return reply(404, "application/json", json{{"error", "Not Found"}}.dump());
}

OpenReply coverArtArchive(const Config& config, const std::string& target) {
    static const std::string prefix = "/release/";
    const std::string id = target.rfind(prefix, 0) == 0 ? target.substr(prefix.size(), 36) : "";
    const OpenTrack* t = byRelease(config, id);
    if (!t || !t->front || target != prefix + id + "/front-250") return notFound();
    const std::string file = "mbid-" + id;
    return reply(307, "text/plain", "See: /download/" + file,
                 std::string("https://") + kStorageHost + "/download/" + file + "/" + file + "-1_thumb250.jpg");
}

OpenReply storage(const Config& config, const std::string& target) {
    for (const auto& t : config.openTracks)
        if (!t.release.empty() && t.front && target.find("/download/mbid-" + t.release + "/") == 0)
            return reply(200, "image/jpeg", image(t));
    return notFound();
}

OpenReply itunes(const Config& config, const std::string& target) {
    if (target.rfind("/search?", 0) != 0) return notFound();
    const std::string term = percentDecode(queryValue(target, "term"));
    json results = json::array();
    for (std::size_t i = 0; i < config.openTracks.size(); ++i) {
        const OpenTrack& t = config.openTracks[i];
        if (!t.itunes || !mentions(term, t)) continue;
        const std::string art =
            std::string("https://") + kArtworkHost + "/image/thumb/Music/v4/standin/" + std::to_string(i) + "/";
        results.push_back({{"wrapperType", "track"},
                           {"kind", "song"},
                           {"artistName", t.artist},
                           {"collectionName", albumTitle(t)},
                           {"trackName", t.title},
                           {"artworkUrl30", art + "30x30bb.jpg"},
                           {"artworkUrl60", art + "60x60bb.jpg"},
                           {"artworkUrl100", art + "100x100bb.jpg"},
                           {"country", "JPN"},
                           {"currency", "JPY"},
                           {"primaryGenreName", "J-Pop"}});
    }
    return reply(200, "text/javascript; charset=utf-8",
                 json{{"resultCount", results.size()}, {"results", results}}.dump());
}

OpenReply artwork(const Config& config, const std::string& target) {
    static const std::string prefix = "/image/thumb/Music/v4/standin/";
    if (target.rfind(prefix, 0) == 0) {
        try {
            const std::size_t i = std::stoul(target.substr(prefix.size()));
            if (i < config.openTracks.size() && config.openTracks[i].itunes)
                return reply(200, "image/jpeg", image(config.openTracks[i]));
        } catch (const std::exception&) {}
    }
    return notFound();
}

} // namespace

OpenReply openCatalogueReply(const Config& config, const std::string& host, const std::string& target) {
    if (host == "musicbrainz.org") return musicBrainz(config, target);
    if (host == "coverartarchive.org") return coverArtArchive(config, target);
    if (host == kStorageHost) return storage(config, target);
    if (host == "itunes.apple.com") return itunes(config, target);
    if (host == kArtworkHost) return artwork(config, target);
    return notFound();
}

} // namespace standin
