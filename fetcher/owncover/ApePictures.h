#pragma once
// The cover pictures of an MP3 file's APEv2 tag.
#include "ApeItems.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velfetch::owncover {

class ApeCovers {
public:
    // Reads the APEv2 tag at the end of the file open on fd (before its ID3v1
    // tag, if it has one), unless it is larger than maxTagBytes; keeps at most
    // `keep` of its binary "Cover Art (...)" items, the first in the order below.
    ApeCovers(int fd, std::size_t maxTagBytes, std::size_t keep);

    // "Cover Art (Front)", then the other "Cover Art (...)" items in the order
    // of their keys; letter case aside, the last item of a key counts. Each
    // without the file name and NUL that begin the item.
    const std::vector<std::span<const std::uint8_t>>& pictures() const { return pictures_; }

private:
    veltag::ApeItems tag_; // holds the bytes the pictures lie in
    std::vector<std::span<const std::uint8_t>> pictures_;
};

} // namespace velfetch::owncover
