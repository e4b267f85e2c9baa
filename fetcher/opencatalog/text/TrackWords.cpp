#include "TrackWords.h"

#include "CutField.h"
#include "MatchText.h"
#include "TextUtil.h"

namespace velfetch::opencatalog {
namespace {

// A cut text this short (after normalising) tells too little to accept every
// name that begins with it.
constexpr std::size_t kMinCutBytes = 6;

} // namespace

TrackWords::Field::Field(std::string_view raw) : text(vel::TrimSpaces(raw)) {
    mayBeCut = MayBeCut(raw);
    normalized = NormalizeForMatch(mayBeCut ? WithoutCutRemnant(text) : text);
    if (normalized.size() < kMinCutBytes) mayBeCut = false;
}

std::optional<std::size_t> TrackWords::Field::match(const std::string& entry) const {
    if (entry.empty()) return std::nullopt;
    if (entry == normalized) return 0;
    if (mayBeCut && entry.starts_with(normalized)) return entry.size() - normalized.size();
    return std::nullopt;
}

TrackWords::TrackWords(std::string_view artist, std::string_view title, std::string_view album)
    : artist_(artist), title_(title), album_(album) {
    tagged_ = !artist_.normalized.empty() && !title_.normalized.empty();
    if (!tagged_) {
        name_ = vel::TrimSpaces(artist_.text + ' ' + title_.text);
        normalizedName_ = NormalizeForMatch(name_);
        artist_ = title_ = Field();
    }
}

std::optional<std::size_t> TrackWords::Match(std::string_view artist, std::string_view title) const {
    const std::string a = NormalizeForMatch(artist), t = NormalizeForMatch(title);
    if (a.empty() || t.empty()) return std::nullopt;
    if (!tagged_) {
        if (normalizedName_.find(a) == std::string::npos || normalizedName_.find(t) == std::string::npos)
            return std::nullopt;
        return 0;
    }
    const auto byArtist = artist_.match(a), byTitle = title_.match(t);
    if (!byArtist || !byTitle) return std::nullopt;
    return *byArtist + *byTitle;
}

std::string TrackWords::MatchKey() const {
    if (!tagged_) return "name\n" + normalizedName_;
    std::string key = "tag";
    for (const Field* field : {&artist_, &title_, &album_})
        key.append(field->mayBeCut ? "\ncut " : "\nall ").append(field->normalized);
    return key;
}

int TrackWords::AlbumRank(std::string_view releaseTitle) const {
    if (album_.normalized.empty()) return 2;
    const auto m = album_.match(NormalizeForMatch(releaseTitle));
    return !m ? 2 : *m == 0 ? 0 : 1;
}

} // namespace velfetch::opencatalog
