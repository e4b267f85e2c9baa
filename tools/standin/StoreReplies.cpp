#include "StoreReplies.h"

#include "QueryText.h"

#include <algorithm>
#include <cstdint>
#include <sstream>

namespace standin {
namespace {

constexpr char kProductLinkPrefix[] = "http://www.amazon.co.jp/exec/obidos/ASIN/";
constexpr char kPrice[] = "\xEF\xBF\xA5 2,520"; // "￥ 2,520"

std::string escapeXml(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

// Pads a reply with an XML/HTML comment to at least `size` bytes.
std::string padded(std::string body, std::size_t size, const std::string& closing) {
    if (body.size() + closing.size() < size) {
        std::string fill = "<!-- " + std::string(size - body.size() - closing.size(), '.') + " -->\n";
        body += fill;
    }
    return body + closing;
}

std::string record(const std::string& asin, const std::string& name, const std::string& artist = {},
                   const std::vector<std::string>& tracks = {"One", "Two"}) {
    const std::string image = "http://img.standin.invalid/images/" + asin;
    std::ostringstream x;
    x << "<Details url=\"" << kProductLinkPrefix << asin << "/plovtarnime-22\">\n"
      << "<Asin>" << asin << "</Asin>\n"
      << "<ProductName>" << escapeXml(name) << "</ProductName>\n"
      << "<Catalog>Music</Catalog>\n";
    if (!artist.empty()) x << "<Artists><Artist>" << escapeXml(artist) << "</Artist></Artists>\n";
    x << "<ReleaseDate>2004/05/26</ReleaseDate>\n"
      << "<ImageUrlSmall>" << image << ".THUMBZZZ.jpg</ImageUrlSmall>\n"
      << "<ImageUrlMedium>" << image << ".MZZZZZZZ.jpg</ImageUrlMedium>\n"
      << "<ImageUrlLarge>" << image << ".LZZZZZZZ.jpg</ImageUrlLarge>\n"
      << "<OurPrice>" << kPrice << "</OurPrice>\n<Tracks>";
    for (const auto& track : tracks) x << "<Track>" << escapeXml(track) << "</Track>";
    x << "</Tracks>\n"
      << "<Availability>usually ships in 24 hours</Availability>\n"
      << "</Details>\n";
    return x.str();
}

std::string albumRecord(const Album& album) {
    return record(album.asin, album.name, album.artist, split(album.tracks, ';'));
}

// Every space-separated word (ASCII or ideographic space) of `words` stands in
// the album's artist, name or tracks; a search without words finds nothing.
bool albumMatches(const Album& album, std::string words) {
    for (std::size_t at; (at = words.find("\xE3\x80\x80")) != std::string::npos;) words.replace(at, 3, " ");
    const std::string text = album.artist + '\n' + album.name + '\n' + album.tracks;
    bool any = false;
    for (const auto& word : split(words, ' ')) {
        if (word.empty()) continue;
        if (text.find(word) == std::string::npos) return false;
        any = true;
    }
    return any;
}

const Album* albumByAsin(const Config& config, const std::string& asin) {
    for (const auto& album : config.albums)
        if (album.asin == asin) return &album;
    return nullptr;
}

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k) v = v << 8 | (k < n ? std::uint8_t(bytes[i + k]) : 0);
        for (std::size_t k = 0; k < 4; ++k) out += k <= n ? digits[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

} // namespace

const Album* albumOfImage(const Config& config, const std::string& target) {
    for (const auto& album : config.albums)
        if (target.find("/images/" + album.asin + ".") != std::string::npos) return &album;
    return nullptr;
}

std::string shortReply() { return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error>busy</Error>\n"; }

std::string notFoundPage(long long size) {
    std::string page = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>";
    return padded(page, size < 0 ? 1024 : std::size_t(size), "</body></html>\n").substr(0, size < 0 ? 1024 : size);
}

std::string defaultImage() {
    static const unsigned char cover[] = {
#include "DefaultCover.inc"
    };
    return std::string(reinterpret_cast<const char*>(cover), sizeof cover);
}

std::string catalogueReply(const Config& config, const std::string& target) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ProductInfo>\n";
    const std::string asinQuery = queryValue(target, "AsinSearch");
    if (target.find("AsinSearch=") != std::string::npos) {
        const std::string asin = percentDecode(asinQuery);
        const Album* album = albumByAsin(config, asin);
        return padded(head + "<TotalResults>1</TotalResults>\n<TotalPages>1</TotalPages>\n" +
                          (album ? albumRecord(*album) : record(escapeXml(asin), "Stand-in album " + asin)),
                      2000, "</ProductInfo>\n");
    }
    long long page = 1;
    try {
        page = std::stoll(queryValue(target, "page"));
    } catch (...) {
    }
    const std::string words = percentDecode(queryValue(target, "KeywordSearch"));

    if (!config.albums.empty()) {
        std::string records;
        long long found = 0;
        for (const auto& album : config.albums)
            if (albumMatches(album, words)) {
                ++found;
                if (page == 1) records += albumRecord(album);
            }
        return padded(head + "<TotalResults>" + std::to_string(found) + "</TotalResults>\n<TotalPages>" +
                          (found ? "1" : "0") + "</TotalPages>\n" + records,
                      found ? 2000 : 1000, "</ProductInfo>\n");
    }

    std::string body = head + "<TotalResults>" + std::to_string(config.totalResults) +
                       "</TotalResults>\n<TotalPages>" + std::to_string(config.totalPages) + "</TotalPages>\n";
    if (config.totalResults < 1) return padded(body, 1000, "</ProductInfo>\n");

    const long long first = (page - 1) * config.perPage;
    for (long long i = first; i < first + config.perPage && i < config.totalResults; ++i) {
        char asin[16];
        std::snprintf(asin, sizeof asin, "B%09lld", (i + 1) % 1000000000);
        body += record(asin, words + " " + std::to_string(i + 1));
    }
    return padded(body, 2000, "</ProductInfo>\n");
}

std::string enginePage(const Config& config) {
    std::string page = "<!doctype html><html><head><meta charset=\"utf-8\"><title>search</title></head><body>\n";
    if (!config.engineLink.empty())
        page += "<div class=\"g\"><a href=\"" + std::string(kProductLinkPrefix) + config.engineLink +
                "\">Stand-in result</a></div>\n";
    page += "<div class=\"g\"><a href=\"http://example.invalid/other\">Another result</a></div>\n";
    return padded(page, 1500, "</body></html>\n");
}

std::string productPage(const Config& config, const std::string& target) {
    static const std::string marker = "/exec/obidos/ASIN/";
    std::string id;
    if (const auto at = target.find(marker); at != std::string::npos) {
        id = target.substr(at + marker.size());
        id = id.substr(0, id.find_first_of("/?"));
    }
    const Album* album = albumByAsin(config, id);

    std::string title, main;
    if (album) {
        title = album->name + " - " + album->artist;
        main = "<img src=\"data:image/jpeg;base64," + base64(album->imageBytes.empty() ? defaultImage() : album->imageBytes) +
               "\" alt=\"ジャケット画像\">\n<h1>" + escapeXml(album->name) + "</h1>\n<p>アーティスト: " +
               escapeXml(album->artist) + "</p>\n<p>価格: " + kPrice + "(税込)</p>\n<h2>収録曲</h2>\n<ol>";
        for (const auto& track : split(album->tracks, ';')) main += "<li>" + escapeXml(track) + "</li>";
        main += "</ol>\n<p>在庫あり。通常24時間以内に発送します。</p>\n";
    } else if (id.empty() || id == "plovtarnime-22") {
        title = "トップページ";
        main = "<h1>デモ用ストア</h1>\n<ul>\n";
        for (const auto& a : config.albums)
            main += "<li>" + escapeXml(a.name) + " - " + escapeXml(a.artist) + " (" + a.asin + ")</li>\n";
        main += "</ul>\n";
    } else {
        title = "Stand-in album " + id;
        main = "<h1>" + escapeXml(title) + "</h1>\n<p>この商品はデモのカタログにありません。</p>\n";
    }
    return "<!doctype html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\"><title>" + escapeXml(title) +
           " | デモ用ストア</title>\n<style>body{font-family:sans-serif;max-width:40em;margin:2em auto}"
           ".note{background:#fff3c4;padding:.5em}</style></head><body>\n"
           "<p class=\"note\">これはオフラインのデモで代替サーバーが返すページです。実在のストアではありません。</p>\n" +
           main + "</body></html>\n";
}

} // namespace standin
