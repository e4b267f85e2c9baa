#pragma once
// A text field of exactly N UTF-16 code units, as the decoder records carry them.
// Assigning pads with blanks or cuts at the width; a fresh field is all NUL.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vel {

template <std::size_t N>
class FixedText {
public:
    static constexpr std::size_t width = N;

    FixedText() { chars_.fill(u'\0'); }

    FixedText& operator=(std::u16string_view text) {
        std::size_t i = 0;
        for (; i < N && i < text.size(); ++i) chars_[i] = text[i];
        for (; i < N; ++i) chars_[i] = u' ';
        return *this;
    }

    // The whole field, all N code units, NULs included.
    std::u16string str() const { return std::u16string(chars_.data(), N); }

    // Fills the field from decoded text without blank padding (the rest stays NUL).
    void setRaw(std::u16string_view text) {
        chars_.fill(u'\0');
        for (std::size_t i = 0; i < N && i < text.size(); ++i) chars_[i] = text[i];
    }

    bool operator==(const FixedText&) const = default;

private:
    std::array<char16_t, N> chars_{};
};

} // namespace vel
