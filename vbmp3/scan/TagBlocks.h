#pragma once
// The tag blocks that MP3 files carry around their audio, found by their
// headers and footers: ID3v2 (also appended, with a footer), APEv2, Lyrics3
// (v1 and v2) and ID3v1 (also with the extended block before it). Nothing
// here reads what a tag says; the frame scanner only needs to step over them.
#include <cstdint>

namespace vbmp3 {

class FileWindow;

class TagBlocks {
public:
    // Bytes of the ID3v2 tag that starts at pos, 0 when none does.
    static std::int64_t id3v2(FileWindow& w, std::int64_t pos);

    // Bytes of a tag block starting at pos (ID3v2, APEv2 with a header,
    // ID3v1), cut at end; 0 when none starts there.
    static std::int64_t at(FileWindow& w, std::int64_t pos, std::int64_t end);

    // Where the run of tag blocks that ends the file (before offset end)
    // begins, blocks stacked in any order; end itself when there are none.
    // ape tells whether one of them is an APEv2 tag.
    static std::int64_t tailStart(FileWindow& w, std::int64_t end, bool* ape = nullptr);
};

} // namespace vbmp3
