#pragma once
// What the open catalogues are asked for, and which of their answers count.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velfetch::opencatalog {

class TrackWords {
public:
    // From the fetcher's artist and title (UTF-8). With both present the words
    // come from a tag; otherwise the one that is there (the cleaned file name
    // when there was no usable tag) is a name of unknown make-up. `album` is
    // the tag's album, or empty. A tag field that fills its width may have been
    // cut (CutField.h).
    TrackWords(std::string_view artist, std::string_view title, std::string_view album = {});

    bool tagged() const { return tagged_; }
    bool empty() const { return tagged_ ? false : normalizedName_.empty(); }
    const std::string& artist() const { return artist_.text; } // tagged only
    const std::string& title() const { return title_.text; }   // tagged only
    const std::string& name() const { return name_; }          // untagged only
    const std::string& album() const { return album_.text; }   // may be empty
    bool artistMayBeCut() const { return artist_.mayBeCut; }
    bool titleMayBeCut() const { return title_.mayBeCut; }

    // How a catalogue entry's artist and title match, on normalised text:
    // nothing when the entry does not count; 0 when both equal the tag's;
    // otherwise a field that may have been cut is the beginning of the entry's,
    // and the number is how many bytes the entry adds (fewer: likelier the
    // same recording rather than another version of it). Without a tag, both
    // must stand in the name (0).
    std::optional<std::size_t> Match(std::string_view artist, std::string_view title) const;
    bool Accepts(std::string_view artist, std::string_view title) const { return Match(artist, title).has_value(); }

    // Everything that decides which catalogue entries count and how they
    // rank: each field's text as matched and whether it may have been cut.
    // Words with equal keys get equal answers.
    std::string MatchKey() const;

    // 0 when a release titled `releaseTitle` is the tag's album, 1 when the
    // title begins with a cut album's text, 2 otherwise or without an album.
    int AlbumRank(std::string_view releaseTitle) const;

private:
    struct Field {
        std::string text;       // blanks trimmed
        std::string normalized; // a cut-off character's remnant left out
        bool mayBeCut = false;

        Field() = default;
        explicit Field(std::string_view raw);
        std::optional<std::size_t> match(const std::string& normalizedEntry) const;
    };

    bool tagged_ = false;
    Field artist_, title_, album_;
    std::string name_, normalizedName_;
};

} // namespace velfetch::opencatalog
