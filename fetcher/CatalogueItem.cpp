#include "CatalogueItem.h"

#include "ExtractBetween.h"

#include <cstdlib>

namespace velfetch {
namespace {

std::u16string replaceAll(std::u16string text, std::u16string_view from, std::u16string_view to) {
    for (std::size_t pos = 0; (pos = text.find(from, pos)) != std::u16string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

} // namespace

std::vector<std::u16string_view> SplitRecords(std::u16string_view reply) {
    static constexpr std::u16string_view separator = u"<Details";
    std::vector<std::u16string_view> records;
    std::size_t at = reply.find(separator);
    while (at != std::u16string_view::npos) {
        const std::size_t begin = at + separator.size();
        const std::size_t next = reply.find(separator, begin);
        records.push_back(reply.substr(begin, next == std::u16string_view::npos ? std::u16string_view::npos
                                                                                 : next - begin));
        at = next;
    }
    return records;
}

CatalogueItem ReadCatalogueItem(std::u16string_view record) {
    CatalogueItem item;
    // One shared position: an element that stands before one already read is not found.
    std::size_t position = 1;
    item.Asin = GetTagValue(record, u"Asin", position);
    item.ProductName = GetTagValue(record, u"ProductName", position);
    item.ReleaseDate = GetTagValue(record, u"ReleaseDate", position);
    item.ImageUrlMedium = GetTagValue(record, u"ImageUrlMedium", position);
    item.ImageUrlLarge = GetTagValue(record, u"ImageUrlLarge", position);
    item.OurPrice = GetTagValue(record, u"OurPrice", position);
    item.Tracks = GetTagValue(record, u"Tracks", position);
    item.Availability = GetTagValue(record, u"Availability", position);

    // Characters 2 to 11: the currency sign goes, at most ten remain.
    item.OurPrice = item.OurPrice.size() > 1 ? item.OurPrice.substr(1, 10) : std::u16string();
    item.ProductName = replaceAll(std::move(item.ProductName), u"~", u"\uFF5E");

    std::size_t reviewsAt = 1;
    if (LeadingNumber(GetTagValue(record, u"TotalCustomerReviews", reviewsAt)) > 0) {
        std::size_t commentAt = 1;
        item.Comment = replaceAll(GetTagValue(record, u"Comment", commentAt), u"&lt;", u"<");
    }
    return item;
}

double LeadingNumber(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) ++i;

    // Collect the longest prefix of the form [+-]digits[.digits][(e|E)[+-]digits].
    std::string number;
    auto take = [&](auto pred) {
        while (i < text.size() && pred(text[i])) number += char(text[i++]);
    };
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) number += char(text[i++]);
    const std::size_t digitsAt = number.size();
    take(isDigit);
    if (i < text.size() && text[i] == u'.') {
        number += '.';
        ++i;
        take(isDigit);
    }
    if (number.size() == digitsAt || (number.size() == digitsAt + 1 && number.back() == '.')) return 0;
    if (i + 1 < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) exponent += char(text[j++]);
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) exponent += char(text[j++]);
            number += exponent;
        }
    }
    // The text is now a plain decimal number; strtod gives +-HUGE_VAL or 0 past the range.
    return std::strtod(number.c_str(), nullptr);
}

} // namespace velfetch
