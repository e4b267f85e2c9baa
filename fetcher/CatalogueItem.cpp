#include "CatalogueItem.h"

#include "ExtractBetween.h"
#include "LeadingNumber.h"
#include "TextCodecs.h"

#include <cstdlib>

namespace velfetch {
namespace {

std::u16string replaceAll(std::u16string text, std::u16string_view from, std::u16string_view to) {
    for (std::size_t pos = 0; (pos = text.find(from, pos)) != std::u16string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

template <class Char, class Use>
void forEachRecord(std::basic_string_view<Char> reply, Use use) {
    static constexpr Char separator[] = {Char('<'), Char('D'), Char('e'), Char('t'), Char('a'),
                                         Char('i'), Char('l'), Char('s'), Char(0)};
    constexpr std::size_t length = std::size(separator) - 1;
    std::size_t at = reply.find(separator);
    while (at != std::basic_string_view<Char>::npos) {
        const std::size_t begin = at + length;
        const std::size_t next = reply.find(separator, begin);
        if (!use(reply.substr(begin, next == std::basic_string_view<Char>::npos ? next : next - begin))) return;
        at = next;
    }
}

std::u16string field(std::string_view record, std::string_view name, std::size_t& position) {
    const std::string value = GetTagValue(record, name, position);
    return Utf8ToString({reinterpret_cast<const std::uint8_t*>(value.data()), value.size()});
}

} // namespace

void ForEachRecord(std::string_view reply, const std::function<bool(std::string_view)>& use) {
    forEachRecord(reply, use);
}

std::vector<std::u16string_view> SplitRecords(std::u16string_view reply) {
    std::vector<std::u16string_view> records;
    forEachRecord(reply, [&](std::u16string_view record) {
        records.push_back(record);
        return true;
    });
    return records;
}

CatalogueItem ReadCatalogueItem(std::u16string_view record) { return ReadCatalogueItem(StringToUtf8(record)); }

CatalogueItem ReadCatalogueItem(std::string_view record) {
    CatalogueItem item;
    // One shared position: an element that stands before one already read is
    // not found. Positions count bytes here; each end marker is four ASCII
    // characters or more, so they land where character positions would.
    std::size_t position = 1;
    item.Asin = field(record, "Asin", position);
    item.ProductName = field(record, "ProductName", position);
    item.ReleaseDate = field(record, "ReleaseDate", position);
    item.ImageUrlMedium = field(record, "ImageUrlMedium", position);
    item.ImageUrlLarge = field(record, "ImageUrlLarge", position);
    item.OurPrice = field(record, "OurPrice", position);
    item.Tracks = field(record, "Tracks", position);
    item.Availability = field(record, "Availability", position);

    // Characters 2 to 11: the currency sign goes, at most ten remain.
    item.OurPrice = item.OurPrice.size() > 1 ? item.OurPrice.substr(1, 10) : std::u16string();
    item.ProductName = replaceAll(std::move(item.ProductName), u"~", u"\uFF5E");

    std::size_t reviewsAt = 1;
    if (LeadingNumber(field(record, "TotalCustomerReviews", reviewsAt)) > 0) {
        std::size_t commentAt = 1;
        item.Comment = replaceAll(field(record, "Comment", commentAt), u"&lt;", u"<");
    }
    return item;
}

double LeadingNumber(std::u16string_view text) {
    const std::string number = vel::leadingNumberText(text, {u" \t\r\n", true});
    // strtod gives +-HUGE_VAL or 0 past the range.
    return number.empty() ? 0 : std::strtod(number.c_str(), nullptr);
}

} // namespace velfetch
