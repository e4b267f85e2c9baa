#include "StandinServer.h"

#include "ConnectRelay.h"
#include "OpenCatalogues.h"
#include "QueryText.h"
#include "StoreReplies.h"

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iomanip>

namespace standin {
namespace {

constexpr char kXmlType[] = "text/xml; charset=utf-8";
constexpr char kHtmlType[] = "text/html; charset=utf-8";

// `text` in the gzip format, as a server sends a body with Content-Encoding: gzip.
std::string gzipped(const std::string& text) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&z, uLong(text.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = uInt(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace

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

std::optional<std::pair<std::string, std::chrono::milliseconds>> parseHostDelay(const std::string& text,
                                                                              std::string* error) {
    const auto eq = text.find('=');
    try {
        std::size_t used = 0;
        if (eq != std::string::npos && eq > 0) {
            const long long ms = std::stoll(text.substr(eq + 1), &used);
            if (ms >= 0 && used == text.size() - eq - 1) return std::pair{text.substr(0, eq), std::chrono::milliseconds(ms)};
        }
    } catch (const std::exception&) {
    }
    if (error) *error = "a delay is HOST=MILLISECONDS: " + text;
    return std::nullopt;
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
                    {"status", Action::Status}, {"gzip", Action::Gzip}};
                auto it = std::find_if(std::begin(names), std::end(names),
                                       [&](const auto& n) { return value == n.first; });
                if (it == std::end(names)) return fail("unknown action: " + value);
                rule.action = it->second;
                haveAction = true;
            } else if (key == "arg") {
                rule.arg = std::stoll(value);
            } else if (key == "times") {
                rule.times = std::stoi(value);
            } else if (key == "retry-after") {
                rule.body = value;
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
    bool logTimes = false;
    std::map<std::string, std::chrono::milliseconds> delays;
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
        if (log.is_open()) {
            log << req.method << ' ' << target << ' ' << req.version;
            if (logTimes) {
                const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                    requests.back().at.time_since_epoch()).count();
                log << ' ' << us / 1000000 << '.' << std::setw(6) << std::setfill('0') << us % 1000000;
            }
            log << std::endl;
        }
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
        std::chrono::milliseconds delay{0};
        {
            std::lock_guard lock(mutex);
            if (const auto it = delays.find(host); it != delays.end()) delay = it->second;
        }
        if (delay.count() > 0 && !pause(delay.count())) return;

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
            if (!rule.body.empty()) res.set_header("Retry-After", rule.body);
            res.set_content("<html><body>Status " + std::to_string(res.status) + "</body></html>\n", "text/html");
            return;
        case Action::Short:
            res.set_content(shortReply(), kXmlType);
            return;
        case Action::Body:
            res.set_content(rule.body, type);
            return;
        case Action::Gzip:
            res.set_header("Content-Encoding", "gzip");
            res.set_content(gzipped(body), type);
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

void Server::setLogTimes(bool on) {
    std::lock_guard lock(impl_->mutex);
    impl_->logTimes = on;
}

void Server::setHostDelay(const std::string& host, std::chrono::milliseconds delay) {
    std::lock_guard lock(impl_->mutex);
    impl_->delays[host] = delay;
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
