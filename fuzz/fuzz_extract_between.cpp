// Cuts values and records out of arbitrary replies, as the catalogue and
// search-engine replies are read.
#include "CatalogueItem.h"
#include "ExtractBetween.h"
#include "TextCodecs.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <vector>

namespace {

std::u16string decode(const std::string& s) {
    return velfetch::Utf8ToString({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
}

void check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::u16string start = decode(in.ConsumeRandomLengthString(24));
    const std::u16string end = decode(in.ConsumeRandomLengthString(24));
    std::size_t position = in.ConsumeIntegralInRange<std::size_t>(0, 1 << 16);
    const std::string raw = in.ConsumeRemainingBytesAsString();
    const std::u16string text = decode(raw);

    const std::size_t before = position;
    const std::u16string value = velfetch::ExtractBetween(text, start, end, position);
    // The value is always a piece of the text; a found value moves the position past the start marker.
    check(value.size() <= text.size());
    check(value.empty() || text.find(value) != std::u16string::npos);
    if (!value.empty()) check(position > before || before == 0);

    for (std::u16string_view record : velfetch::SplitRecords(text)) {
        const velfetch::CatalogueItem item = velfetch::ReadCatalogueItem(record);
        check(item.OurPrice.size() <= 10);
        check(item.Asin.size() <= record.size());
    }
    std::size_t at = 1;
    const std::u16string total = velfetch::GetTagValue(text, u"TotalResults", at);
    (void)velfetch::LeadingNumber(text);

    // Replies are read as compacted UTF-8: the same text, the same records and values.
    std::vector<std::uint8_t> bytes(raw.begin(), raw.end());
    velfetch::CompactUtf8(bytes);
    check(bytes.size() <= raw.size());
    check(velfetch::Utf8ToString(bytes) == text);
    const std::string_view utf8(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::size_t byteAt = 1;
    check(decode(velfetch::GetTagValue(utf8, "TotalResults", byteAt)) == total);
    const auto records = velfetch::SplitRecords(text);
    std::size_t n = 0;
    velfetch::ForEachRecord(utf8, [&](std::string_view record) {
        check(n < records.size());
        // Fields read from the UTF-8 record, against the UTF-16 cutter on the decoded one.
        const velfetch::CatalogueItem item = velfetch::ReadCatalogueItem(record);
        std::size_t p = 1;
        check(item.Asin == velfetch::GetTagValue(records[n], u"Asin", p));
        (void)velfetch::GetTagValue(records[n], u"ProductName", p);
        check(item.ReleaseDate == velfetch::GetTagValue(records[n], u"ReleaseDate", p));
        check(item.ImageUrlMedium == velfetch::GetTagValue(records[n], u"ImageUrlMedium", p));
        ++n;
        return true;
    });
    check(n == records.size());
    return 0;
}
