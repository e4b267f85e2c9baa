#pragma once
// One search result of the catalogue service and how it is read from a reply.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velfetch {

struct CatalogueItem {
    std::u16string Asin;
    std::u16string ProductName;
    std::u16string ReleaseDate;
    std::u16string ImageUrlMedium;
    std::u16string ImageUrlLarge;
    std::u16string OurPrice;
    std::u16string Availability;
    std::u16string Tracks;
    std::u16string Comment;

    bool operator==(const CatalogueItem&) const = default;
};

// The records of one reply: the pieces after each exact "<Details"; the text
// before the first one is not a record. ForEachRecord hands them over one by
// one, without a list as long as the reply has records, until `use` says stop.
void ForEachRecord(std::string_view reply, const std::function<bool(std::string_view)>& use);
std::vector<std::u16string_view> SplitRecords(std::u16string_view reply);

// Reads the fields of one record (see CatalogueItem.cpp for the order and
// treatments), given as UTF-16 or as UTF-8 in shortest form (CompactUtf8).
CatalogueItem ReadCatalogueItem(std::string_view record);
CatalogueItem ReadCatalogueItem(std::u16string_view record);

// The number at the start of `text` after leading blanks (sign, digits, fraction,
// exponent), or 0 when the text does not start with one.
double LeadingNumber(std::u16string_view text);

} // namespace velfetch
