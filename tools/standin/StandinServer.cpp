#include "StandinServer.h"

#include "ConnectRelay.h"
#include "OpenCatalogues.h"
#include "QueryText.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace standin {
namespace {

constexpr char kProductLinkPrefix[] = "http://www.amazon.co.jp/exec/obidos/ASIN/";
constexpr char kXmlType[] = "text/xml; charset=utf-8";
constexpr char kHtmlType[] = "text/html; charset=utf-8";
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

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1)
        parts.push_back(text.substr(from, at - from));
    parts.push_back(text.substr(from));
    return parts;
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

// The album whose cover an image address asks for (…/images/<asin>.<size>.jpg).
const Album* albumOfImage(const Config& config, const std::string& target) {
    for (const auto& album : config.albums)
        if (target.find("/images/" + album.asin + ".") != std::string::npos) return &album;
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

std::string shortReply() { return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error>busy</Error>\n"; }

std::string notFoundPage(long long size) {
    std::string page = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>";
    return padded(page, size < 0 ? 1024 : std::size_t(size), "</body></html>\n").substr(0, size < 0 ? 1024 : size);
}

} // namespace

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

std::optional<Album> parseAlbum(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<Album> {
        if (error) *error = why;
        return std::nullopt;
    };
    const auto fields = split(text, '|');
    if (fields.size() < 4 || fields.size() > 5) return fail("an album is ASIN|artist|name|tracks[|image file]: " + text);
    Album album{fields[0], fields[1], fields[2], fields[3], {}};
    // The identifier goes into addresses and pages as it stands.
    if (album.asin.empty() || album.asin.size() > 20 ||
        !std::all_of(album.asin.begin(), album.asin.end(), [](unsigned char c) { return std::isalnum(c); }))
        return fail("an album's ASIN is 1 to 20 letters and digits: " + album.asin);
    if (fields.size() == 5 && !fields[4].empty()) {
        std::ifstream f(fields[4], std::ios::binary);
        if (!f) return fail("cannot read " + fields[4]);
        album.imageBytes.assign(std::istreambuf_iterator<char>(f), {});
    }
    return album;
}

std::optional<OpenTrack> parseOpenTrack(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<OpenTrack> {
        if (error) *error = why;
        return std::nullopt;
    };
    const auto fields = split(text, '|');
    if (fields.size() < 5 || fields.size() > 6)
        return fail("an open track is artist|title|release id|asin|front,itunes[|image file]: " + text);
    OpenTrack track{fields[0], fields[1], fields[2], fields[3], false, false, {}};
    for (const auto& flag : split(fields[4], ',')) {
        if (flag == "front") track.front = true;
        else if (flag == "itunes") track.itunes = true;
        else if (!flag.empty()) return fail("unknown open-track flag: " + flag);
    }
    if (fields.size() == 6 && !fields[5].empty()) {
        std::ifstream f(fields[5], std::ios::binary);
        if (!f) return fail("cannot read " + fields[5]);
        track.imageBytes.assign(std::istreambuf_iterator<char>(f), {});
    }
    return track;
}

std::optional<Rule> parseRule(const std::string& text, std::string* error) {
    Rule rule;
    bool haveAction = false;
    std::istringstream in(text);
    std::string token;
    auto fail = [&](const std::string& why) -> std::optional<Rule> {
        if (error) *error = why;
        return std::nullopt;
    };
    while (in >> token) {
        const auto eq = token.find('=');
        if (eq == std::string::npos) return fail("expected key=value: " + token);
        const std::string key = token.substr(0, eq), value = token.substr(eq + 1);
        try {
            if (key == "match") {
                rule.match = value;
            } else if (key == "action") {
                static const std::pair<const char*, Action> names[] = {
                    {"pass", Action::Pass},   {"short", Action::Short}, {"silence", Action::Silence},
                    {"drip", Action::Drip},   {"404", Action::NotFound}, {"reset", Action::Reset},
                    {"huge", Action::Huge},   {"body", Action::Body},    {"redirect", Action::Redirect},
                    {"status", Action::Status}};
                auto it = std::find_if(std::begin(names), std::end(names),
                                       [&](const auto& n) { return value == n.first; });
                if (it == std::end(names)) return fail("unknown action: " + value);
                rule.action = it->second;
                haveAction = true;
            } else if (key == "arg") {
                rule.arg = std::stoll(value);
            } else if (key == "times") {
                rule.times = std::stoi(value);
            } else if (key == "to") {
                rule.body = value;
            } else if (key == "file") {
                std::ifstream f(value, std::ios::binary);
                if (!f) return fail("cannot read " + value);
                rule.body.assign(std::istreambuf_iterator<char>(f), {});
            } else {
                return fail("unknown key: " + key);
            }
        } catch (const std::exception&) {
            return fail("bad number in " + token);
        }
    }
    if (!haveAction) return fail("a rule needs action=");
    return rule;
}

struct Server::Impl {
    Config config;
    std::vector<Rule> rules;
    std::vector<Server::Seen> requests;
    std::ofstream log;
    mutable std::mutex mutex;

    std::atomic<bool> stopping{false};
    std::mutex waitMutex;
    std::condition_variable wake;

    httplib::Server http;
    std::thread thread;

    // With TLS: the HTTPS hosts' listener and the proxy port in front of both.
    std::optional<TlsFiles> tlsFiles;
    std::unique_ptr<httplib::SSLServer> tls;
    std::thread tlsThread;
    std::unique_ptr<ConnectRelay> relay;
    std::vector<std::string> tunnels;

    // Sleeps up to `ms`; false once the server is stopping.
    bool pause(long long ms) {
        std::unique_lock lock(waitMutex);
        return !wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping.load(); });
    }

    void noteTunnel(const std::string& authority) {
        std::lock_guard lock(mutex);
        tunnels.push_back(authority);
        if (log.is_open()) log << "CONNECT " << authority << std::endl;
    }

    // Logs the request (as `target`) and picks the rule that applies to it.
    Rule take(const httplib::Request& req, const std::string& target, Config& configCopy) {
        std::lock_guard lock(mutex);
        requests.push_back({target, std::chrono::steady_clock::now(), req.get_header_value("User-Agent"),
                            req.has_header("If-Modified-Since") || req.has_header("If-None-Match"),
                            req.get_header_value("Cache-Control").find("no-cache") != std::string::npos ||
                                req.get_header_value("Pragma").find("no-cache") != std::string::npos});
        if (log.is_open()) log << req.method << ' ' << target << ' ' << req.version << std::endl;
        configCopy = config;
        for (auto& rule : rules) {
            if (rule.times == 0 || target.find(rule.match) == std::string::npos) continue;
            if (rule.times > 0) --rule.times;
            return rule;
        }
        return Rule{};
    }

    void handle(const httplib::Request& req, httplib::Response& res, bool secure) {
        std::string host = req.get_header_value("Host");
        host = host.substr(0, host.find(':'));
        Config config;
        const Rule rule = take(req, secure ? "https://" + host + req.target : req.target, config);

        std::string body, type = kXmlType;
        if (secure) {
            OpenReply reply = openCatalogueReply(config, host, req.target);
            if (rule.action == Action::Pass && reply.status != 200) {
                res.status = reply.status;
                if (!reply.location.empty()) res.set_header("Location", reply.location);
            }
            body = std::move(reply.body);
            type = reply.type;
        } else if (req.target.find("/onca/xml3") != std::string::npos) {
            body = catalogueReply(config, req.target);
        } else if (req.target.find("/exec/obidos/ASIN/") != std::string::npos) {
            body = productPage(config, req.target);
            type = kHtmlType;
        } else if (req.target.find("/search") != std::string::npos) {
            body = enginePage(config);
            type = kHtmlType;
        } else if (const Album* album = albumOfImage(config, req.target); album && !album->imageBytes.empty()) {
            body = album->imageBytes;
            type = "image/jpeg";
        } else {
            body = config.imageBytes.empty() ? defaultImage() : config.imageBytes;
            type = "image/jpeg";
        }

        switch (rule.action) {
        case Action::Pass:
            res.set_content(body, type);
            return;
        case Action::Status:
            res.status = rule.arg < 0 ? 503 : int(rule.arg);
            res.set_content("<html><body>Status " + std::to_string(res.status) + "</body></html>\n", "text/html");
            return;
        case Action::Short:
            res.set_content(shortReply(), kXmlType);
            return;
        case Action::Body:
            res.set_content(rule.body, type);
            return;
        case Action::Redirect:
            res.set_redirect(rule.body);
            return;
        case Action::NotFound:
            res.status = 404;
            res.set_content(notFoundPage(rule.arg), "text/html");
            return;
        case Action::Silence:
            while (pause(1000)) {
            }
            res.status = 503;
            return;
        case Action::Drip: {
            const long long every = rule.arg < 0 ? 100 : rule.arg;
            auto shared = std::make_shared<std::string>(std::move(body));
            res.set_content_provider(shared->size(), type,
                                     [this, shared, every](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset > 0 && !pause(every)) return false;
                                         const std::size_t n = std::min<std::size_t>(64, shared->size() - offset);
                                         return sink.write(shared->data() + offset, n);
                                     });
            return;
        }
        case Action::Reset: {
            const std::size_t cut = rule.arg < 0 ? body.size() / 2 : std::size_t(rule.arg);
            auto shared = std::make_shared<std::string>(std::move(body));
            res.set_content_provider(shared->size(), type,
                                     [shared, cut](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset >= cut) return false; // drops the connection mid-body
                                         return sink.write(shared->data() + offset, std::min(cut, shared->size()) - offset);
                                     });
            return;
        }
        case Action::Huge: {
            const std::size_t size = std::size_t(rule.arg < 0 ? 64 : rule.arg) << 20;
            auto block = std::make_shared<std::string>(64 * 1024, 'x');
            res.set_content_provider(size, "application/octet-stream",
                                     [this, block](std::size_t, std::size_t length, httplib::DataSink& sink) {
                                         if (stopping) return false;
                                         return sink.write(block->data(), std::min(length, block->size()));
                                     });
            return;
        }
        }
    }
};

Server::Server(Config config) : impl_(std::make_unique<Impl>()) { impl_->config = std::move(config); }

Server::~Server() { stop(); }

void Server::enableTls(TlsFiles files) { impl_->tlsFiles = std::move(files); }

bool Server::start(int port) {
    auto& d = *impl_;
    d.http.set_keep_alive_max_count(1);
    d.http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { impl_->handle(req, res, false); });
    if (!d.tlsFiles) {
        port_ = port == 0 ? d.http.bind_to_any_port("127.0.0.1") : (d.http.bind_to_port("127.0.0.1", port) ? port : -1);
        if (port_ <= 0) return false;
    } else {
        d.tls = std::make_unique<httplib::SSLServer>(d.tlsFiles->certificate.c_str(), d.tlsFiles->key.c_str());
        if (!d.tls->is_valid()) return false;
        d.tls->set_keep_alive_max_count(1);
        d.tls->Get(".*", [this](const httplib::Request& req, httplib::Response& res) { impl_->handle(req, res, true); });
        const int plainPort = d.http.bind_to_any_port("127.0.0.1");
        const int tlsPort = d.tls->bind_to_any_port("127.0.0.1");
        if (plainPort <= 0 || tlsPort <= 0) return false;
        d.relay = std::make_unique<ConnectRelay>(plainPort, tlsPort,
                                                 [this](const std::string& a) { impl_->noteTunnel(a); });
        port_ = d.relay->start(port);
        if (port_ <= 0) return false;
        d.tlsThread = std::thread([this] { impl_->tls->listen_after_bind(); });
        while (!d.tls->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    d.thread = std::thread([this] { impl_->http.listen_after_bind(); });
    // stop() only works on a running server: wait until the accept loop runs.
    while (!d.http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void Server::stop() {
    if (!impl_->thread.joinable()) return;
    {
        std::lock_guard lock(impl_->waitMutex);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
    if (impl_->relay) impl_->relay->stop();
    if (impl_->tls) {
        impl_->tls->stop();
        impl_->tlsThread.join();
    }
    impl_->http.stop();
    impl_->thread.join();
}

void Server::addRule(Rule rule) {
    std::lock_guard lock(impl_->mutex);
    impl_->rules.push_back(std::move(rule));
}

void Server::setConfig(Config config) {
    std::lock_guard lock(impl_->mutex);
    impl_->config = std::move(config);
}

void Server::setLogFile(const std::string& path) {
    std::lock_guard lock(impl_->mutex);
    impl_->log.open(path, std::ios::app);
}

std::vector<std::string> Server::requests() const {
    std::lock_guard lock(impl_->mutex);
    std::vector<std::string> targets;
    for (const auto& r : impl_->requests) targets.push_back(r.target);
    return targets;
}

std::vector<Server::Seen> Server::seen() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

std::vector<std::string> Server::tunnels() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->tunnels;
}

void Server::clearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->requests.clear();
    impl_->tunnels.clear();
}

} // namespace standin
