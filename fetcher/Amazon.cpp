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

// Replies are read as UTF-8 in shortest form, in place: the same text as their
// UTF-16 decoding, without a copy twice their size.
std::string_view compacted(std::vector<std::uint8_t>& bytes) {
    CompactUtf8(bytes);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A reply read is let go before the next download, so that two are never held at once.
void release(std::vector<std::uint8_t>& bytes) { std::vector<std::uint8_t>().swap(bytes); }

std::u16string decoded(const std::string& utf8) {
    return Utf8ToString({reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()});
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

CatalogueResult Amazon::CatalogueSearch(std::u16string_view words, std::u16string_view mode, int type) {
    std::vector<std::uint8_t> bytes;
    if (Download(CatalogueUrl(words, mode, type, 1), bytes) < kProbeMinBytes) return kUnreachable;

    long long pageCount = 1;
    if (type == kAsinSearch) {
        ResultCount = 1;
    } else {
        // An error page without numbers reads as 0 results.
        const std::string_view probe = compacted(bytes);
        std::size_t position = 1;
        ResultCount = integerPart(LeadingNumber(decoded(GetTagValue(probe, "TotalResults", position))));
        position = 1;
        pageCount = integerPart(LeadingNumber(decoded(GetTagValue(probe, "TotalPages", position))));
        if (ResultCount < 1) return kNoResults;
    }
    release(bytes);
    SearchResults.assign(static_cast<std::size_t>(std::min<long long>(ResultCount, kMaxResults)), CatalogueItem{});

    std::size_t slot = 0;
    for (long long page = 1; page <= pageCount && page <= kMaxPages; ++page) {
        const std::u16string url = CatalogueUrl(words, mode, type, page);
        int failures = 0;
        while (Download(url, bytes) < kPageMinBytes) {
            if (++failures > kMaxPageFailures) return kUnreachable;
        }
        // Records beyond the table's last slot are dropped unread.
        ForEachRecord(compacted(bytes), [&](std::string_view record) {
            if (slot >= SearchResults.size()) return false;
            SearchResults[slot++] = ReadCatalogueItem(record);
            return true;
        });
        release(bytes);
    }
    return kSearchOk;
}

std::u16string Amazon::FindAsinByEngine(std::u16string_view query) {
    std::vector<std::uint8_t> bytes;
    if (Download(EngineUrl(query), bytes) < kProbeMinBytes) return {};
    std::size_t position = 1;
    return decoded(ExtractBetween(compacted(bytes), StringToUtf8(ProductLinkPrefix()), "\"", position));
}

} // namespace velfetch
