#include "MusicBrainzReplies.h"

#include "JsonField.h"

#include <algorithm>
#include <tuple>

namespace velfetch::opencatalog {
namespace {

using nlohmann::json;

// "name" and "joinphrase" of each credited artist, as the service shows a credit.
std::string creditText(const json& credits) {
    std::string text;
    for (const json& credit : credits) text += TextField(credit, "name") + TextField(credit, "joinphrase");
    return text;
}

int kindRank(const json& release) {
    const json& group = ObjectField(release, "release-group");
    const std::string primary = TextField(group, "primary-type");
    const json& secondary = ArrayField(group, "secondary-types");
    if (std::find(secondary.begin(), secondary.end(), json("Compilation")) != secondary.end()) return 3;
    if (primary == "Album") return secondary.empty() ? 0 : 1;
    if (primary == "Single" || primary == "EP") return 2;
    return 4;
}

bool releasedInJapan(const json& release) {
    if (TextField(release, "country") == "JP") return true;
    for (const json& event : ArrayField(release, "release-events")) {
        const json& codes = ArrayField(ObjectField(event, "area"), "iso-3166-1-codes");
        if (std::find(codes.begin(), codes.end(), json("JP")) != codes.end()) return true;
    }
    return false;
}

struct Candidate {
    ChosenRelease release;
    std::size_t match; // TrackWords::Match
    bool official;
    int album; // TrackWords::AlbumRank
    int kind;
    bool japan;
    std::string date; // "YYYY", "YYYY-MM" or "YYYY-MM-DD"; compares as text

    auto key() const { return std::make_tuple(match, !official, album, kind, !japan, date.empty(), date); }
};

} // namespace

bool IsReleaseId(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

std::optional<std::vector<ChosenRelease>> ChooseReleases(std::span<const std::uint8_t> reply, const TrackWords& words,
                                                         std::size_t limit) {
    const json root = ParseJson(reply);
    if (!root.is_object()) return std::nullopt;

    std::vector<Candidate> candidates;
    for (const json& recording : ArrayField(root, "recordings")) {
        const auto match = words.Match(creditText(ArrayField(recording, "artist-credit")), TextField(recording, "title"));
        if (!match) continue;
        for (const json& release : ArrayField(recording, "releases")) {
            const std::string id = TextField(release, "id");
            if (!IsReleaseId(id)) continue;
            std::string group = TextField(ObjectField(release, "release-group"), "id");
            if (!IsReleaseId(group)) group.clear();
            candidates.push_back({{id, std::move(group)}, *match, TextField(release, "status") == "Official",
                                  words.AlbumRank(TextField(release, "title")), kindRank(release),
                                  releasedInJapan(release), TextField(release, "date")});
        }
    }
    // Stable: among equals the service's own order (by score) stands.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.key() < b.key(); });

    std::vector<ChosenRelease> chosen;
    for (const Candidate& c : candidates) {
        if (chosen.size() == limit) break;
        const auto same = [&](const ChosenRelease& r) { return r.id == c.release.id; };
        if (std::none_of(chosen.begin(), chosen.end(), same)) chosen.push_back(c.release);
    }
    return chosen;
}

std::optional<ReleaseInfo> ReadRelease(std::span<const std::uint8_t> reply) {
    const json root = ParseJson(reply);
    if (!root.is_object()) return std::nullopt;
    ReleaseInfo info;
    info.front = FlagField(ObjectField(root, "cover-art-archive"), "front");
    info.asin = TextField(root, "asin");
    if (!IsAsin(info.asin)) info.asin.clear();
    return info;
}

bool IsAsin(std::string_view text) {
    return text.size() == 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

} // namespace velfetch::opencatalog
