// Cuts values and records out of arbitrary replies, as the catalogue and
// search-engine replies are read.
#include "CatalogueItem.h"
#include "ExtractBetween.h"
#include "TextCodecs.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

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
    const std::u16string text = decode(in.ConsumeRemainingBytesAsString());

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
    (void)velfetch::GetTagValue(text, u"TotalResults", at);
    (void)velfetch::LeadingNumber(text);
    return 0;
}
