#pragma once
// The items of an MP3 file's APEv2 tag, read without a tag library: the
// library we use for ID3v2 turns every APEv2 text item into a list split at
// each NUL, which costs a hostile tag hundreds of bytes of memory per byte.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltag {

class ApeItems {
public:
    enum Type { Text = 0, Binary = 1, Locator = 2, Reserved = 3 };
    struct Item {
        std::string key; // in upper case
        Type type = Text;
        std::span<const std::uint8_t> value;
        std::span<const std::uint8_t> whole; // the item as the tag holds it: size, flags, key, NUL, value
    };

    // Reads the APEv2 tag that ends the file open on fd, or ends it but for
    // an ID3v1 tag, unless the tag is larger than maxTagBytes; keeps its first
    // kMaxTagEntries items, in tag order, but those whose key is no valid key
    // (2 to 255 printable ASCII characters). An item whose value runs past the
    // tag ends the reading.
    ApeItems(int fd, std::size_t maxTagBytes);
    ApeItems(const ApeItems&) = delete; // the items lie in bytes of its own
    ApeItems& operator=(const ApeItems&) = delete;

    const std::vector<Item>& items() const { return items_; }

    // The last item of this key (in upper case), the one a reader of the tag
    // keeps; nullptr when there is none.
    const Item* last(std::string_view key) const;

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<Item> items_;
};

} // namespace veltag
