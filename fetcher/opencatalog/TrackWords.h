#pragma once
// What the open catalogues are asked for, and which of their answers count.
#include <string>
#include <string_view>

namespace velfetch::opencatalog {

class TrackWords {
public:
    // From the fetcher's artist and title (UTF-8). With both present the words
    // come from a tag; otherwise the one that is there (the cleaned file name
    // when there was no usable tag) is a name of unknown make-up.
    TrackWords(std::string_view artist, std::string_view title);

    bool tagged() const { return tagged_; }
    bool empty() const { return tagged_ ? false : normalizedName_.empty(); }
    const std::string& artist() const { return artist_; } // tagged only
    const std::string& title() const { return title_; }   // tagged only
    const std::string& name() const { return name_; }     // untagged only

    // A catalogue entry counts when its artist and title equal the tag's, or,
    // without a tag, when both stand in the name; normalised text either way.
    bool Accepts(std::string_view artist, std::string_view title) const;

private:
    bool tagged_ = false;
    std::string artist_, title_, name_;
    std::string normalizedArtist_, normalizedTitle_, normalizedName_;
};

} // namespace velfetch::opencatalog
