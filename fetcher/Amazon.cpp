#include "Amazon.h"

#include "AnsiCodec.h"
#include "ExtractBetween.h"
#include "ServiceHosts.h"
#include "TextCodecs.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velfetch {
namespace {

constexpr char16_t kAssociateTag[] = u"plovtarnime-22";
constexpr char16_t kDeveloperToken[] = u"KQ7TRZWX3HPLM";

std::u16string_view searchKey(int type) {
    switch (type) {
    case kKeywordSearch: return u"&KeywordSearch=";
    case kBrowseNodeSearch: return u"&BrowseNodeSearch=";
    case kBlendedSearch: return u"&BlendedSearch=";
    case kAsinSearch: return u"&AsinSearch=";
    default: return u"";
    }
}

// Integer part of a number read from a reply, kept within range.
long long integerPart(double value) {
    constexpr double lo = double(std::numeric_limits<long long>::min());
    constexpr double hi = 9.0e18; // below LLONG_MAX, exactly representable
    value = std::trunc(value);
    return value <= lo ? std::numeric_limits<long long>::min() : value >= hi ? (long long)hi : (long long)value;
}

} // namespace

std::u16string Amazon::CatalogueUrl(std::u16string_view words, std::u16string_view mode, int type, long long page) {
    std::u16string url = u"http://" + fromAscii(vel::kCatalogueHost) + u"/onca/xml3?t=" + kAssociateTag +
                         u"&dev-t=" + kDeveloperToken;
    url.append(searchKey(type)).append(UrlEncodeUtf8(words));
    url.append(u"&mode=").append(mode);
    url.append(u"&type=heavy&locale=jp&page=").append(fromAscii(std::to_string(page))).append(u"&f=xml");
    return url;
}

std::u16string Amazon::EngineUrl(std::u16string_view query) {
    return u"http://" + fromAscii(vel::kEngineHost) + u"/search?hl=ja&q=" + UrlEncodeUtf8(query) + u"&lr=lang_ja";
}

std::u16string Amazon::ProductLinkPrefix() { return u"http://" + fromAscii(vel::kStoreHost) + u"/exec/obidos/ASIN/"; }

std::int32_t Amazon::Download(std::u16string_view url, std::vector<std::uint8_t>& bytes) const {
    return DownloadBytes(vel::toAnsi(url), bytes, http_);
}

int Amazon::CatalogueSearch(std::u16string_view words, std::u16string_view mode, int type) {
    std::vector<std::uint8_t> bytes;
    if (Download(CatalogueUrl(words, mode, type, 1), bytes) < kProbeMinBytes) return kUnreachable;

    long long pageCount = 1;
    if (type == kAsinSearch) {
        ResultCount = 1;
    } else {
        // An error page without numbers reads as 0 results.
        const std::u16string probe = Utf8ToString(bytes);
        std::size_t position = 1;
        ResultCount = integerPart(LeadingNumber(GetTagValue(probe, u"TotalResults", position)));
        position = 1;
        pageCount = integerPart(LeadingNumber(GetTagValue(probe, u"TotalPages", position)));
        if (ResultCount < 1) return kNoResults;
    }
    SearchResults.assign(static_cast<std::size_t>(std::min<long long>(ResultCount, kMaxResults)), CatalogueItem{});

    std::size_t slot = 0;
    for (long long page = 1; page <= pageCount && page <= kMaxPages; ++page) {
        const std::u16string url = CatalogueUrl(words, mode, type, page);
        int failures = 0;
        while (Download(url, bytes) < kPageMinBytes) {
            if (++failures > kMaxPageFailures) return kUnreachable;
        }
        const std::u16string text = Utf8ToString(bytes);
        for (std::u16string_view record : SplitRecords(text)) {
            // Records beyond the table's last slot are dropped.
            if (slot < SearchResults.size()) SearchResults[slot] = ReadCatalogueItem(record);
            ++slot;
        }
    }
    return kSearchOk;
}

std::u16string Amazon::FindAsinByEngine(std::u16string_view query) {
    std::vector<std::uint8_t> bytes;
    if (Download(EngineUrl(query), bytes) < kProbeMinBytes) return {};
    const std::u16string page = Utf8ToString(bytes);
    std::size_t position = 1;
    return ExtractBetween(page, ProductLinkPrefix(), u"\"", position);
}

} // namespace velfetch
