#include "TitleName.h"

namespace vel {

const std::array<std::u16string_view, 10> NoiseWords = {
    u"CS音源", u"CD音源", u"192kbps", u"[MP3]", u"[CD]",
    u"music", u"[シングル]", u"[アルバム]", u".zip", u"Instrumental",
};

namespace {

// Every occurrence replaced in one left-to-right pass; joined text is not rescanned.
std::u16string removeAll(std::u16string_view text, std::u16string_view word) {
    std::u16string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(word, pos)) != std::u16string_view::npos; pos = hit + word.size())
        out.append(text.substr(pos, hit - pos));
    out.append(text.substr(pos));
    return out;
}

} // namespace

std::u16string GetTitleName(std::u16string_view path, bool clean) {
    std::size_t sep = path.find_last_of(u'/');
    std::u16string_view fileName = sep == std::u16string_view::npos ? path : path.substr(sep + 1);
    if (!clean) return std::u16string(fileName);

    std::size_t dot = fileName.find_last_of(u'.');
    std::u16string text(dot == std::u16string_view::npos ? fileName : fileName.substr(0, dot));
    for (auto word : NoiseWords) text = removeAll(text, word);
    return text;
}

} // namespace vel
