#include "TrackWords.h"

#include "MatchText.h"
#include "TextUtil.h"

namespace velfetch::opencatalog {

TrackWords::TrackWords(std::string_view artist, std::string_view title)
    : artist_(vel::TrimSpaces(artist)), title_(vel::TrimSpaces(title)) {
    normalizedArtist_ = NormalizeForMatch(artist_);
    normalizedTitle_ = NormalizeForMatch(title_);
    tagged_ = !normalizedArtist_.empty() && !normalizedTitle_.empty();
    if (!tagged_) {
        name_ = vel::TrimSpaces(artist_ + ' ' + title_);
        normalizedName_ = NormalizeForMatch(name_);
        artist_.clear();
        title_.clear();
    }
}

bool TrackWords::Accepts(std::string_view artist, std::string_view title) const {
    const std::string a = NormalizeForMatch(artist), t = NormalizeForMatch(title);
    if (a.empty() || t.empty()) return false;
    if (tagged_) return a == normalizedArtist_ && t == normalizedTitle_;
    return normalizedName_.find(a) != std::string::npos && normalizedName_.find(t) != std::string::npos;
}

} // namespace velfetch::opencatalog
