// Decodes arbitrary bytes as replies are decoded.
#include "TextCodecs.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::u16string dropped = velfetch::Utf8ToString(bytes);
    const std::u16string marked = velfetch::Utf8ToString(bytes, u"\uFFFD");
    // Every character comes from at least one byte; a replacement stands for exactly one byte.
    if (dropped.size() > size || marked.size() > size || marked.size() < dropped.size()) std::abort();
    std::size_t replaced = 0;
    for (char16_t c : marked) replaced += c == u'\uFFFD';
    std::size_t kept = 0;
    for (char16_t c : dropped) kept += c == u'\uFFFD';
    if (marked.size() - replaced != dropped.size() - kept) std::abort();
    return 0;
}
