#include "StandinServer.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace standin {
namespace {

constexpr char kProductLinkPrefix[] = "http://www.amazon.co.jp/exec/obidos/ASIN/";
constexpr char kXmlType[] = "text/xml; charset=utf-8";

// Raw (still percent-encoded) value of `key` in the query of `target`.
std::string queryValue(const std::string& target, const std::string& key) {
    auto q = target.find('?');
    if (q == std::string::npos) return {};
    std::string query = "&" + target.substr(q + 1);
    auto at = query.find("&" + key + "=");
    if (at == std::string::npos) return {};
    at += key.size() + 2;
    return query.substr(at, query.find('&', at) - at);
}

std::string percentDecode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() && std::isxdigit((unsigned char)s[i + 1]) &&
                   std::isxdigit((unsigned char)s[i + 2])) {
            out += char(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

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

std::string record(const std::string& asin, const std::string& name) {
    const std::string image = "http://img.standin.invalid/images/" + asin;
    std::ostringstream x;
    x << "<Details url=\"" << kProductLinkPrefix << asin << "/plovtarnime-22\">\n"
      << "<Asin>" << asin << "</Asin>\n"
      << "<ProductName>" << escapeXml(name) << "</ProductName>\n"
      << "<Catalog>Music</Catalog>\n"
      << "<ReleaseDate>2004/05/26</ReleaseDate>\n"
      << "<ImageUrlSmall>" << image << ".THUMBZZZ.jpg</ImageUrlSmall>\n"
      << "<ImageUrlMedium>" << image << ".MZZZZZZZ.jpg</ImageUrlMedium>\n"
      << "<ImageUrlLarge>" << image << ".LZZZZZZZ.jpg</ImageUrlLarge>\n"
      << "<OurPrice>\xEF\xBF\xA5 2,520</OurPrice>\n"
      << "<Tracks><Track>One</Track><Track>Two</Track></Tracks>\n"
      << "<Availability>usually ships in 24 hours</Availability>\n"
      << "</Details>\n";
    return x.str();
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
        return padded(head + "<TotalResults>1</TotalResults>\n<TotalPages>1</TotalPages>\n" +
                          record(escapeXml(asin), "Stand-in album " + asin),
                      2000, "</ProductInfo>\n");
    }
    std::string body = head + "<TotalResults>" + std::to_string(config.totalResults) +
                       "</TotalResults>\n<TotalPages>" + std::to_string(config.totalPages) + "</TotalPages>\n";
    if (config.totalResults < 1) return padded(body, 1000, "</ProductInfo>\n");

    long long page = 1;
    try {
        page = std::stoll(queryValue(target, "page"));
    } catch (...) {
    }
    const std::string words = percentDecode(queryValue(target, "KeywordSearch"));
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
                    {"huge", Action::Huge},   {"body", Action::Body},    {"redirect", Action::Redirect}};
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

    // Sleeps up to `ms`; false once the server is stopping.
    bool pause(long long ms) {
        std::unique_lock lock(waitMutex);
        return !wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping.load(); });
    }

    // Logs the request and picks the rule that applies to it.
    Rule take(const httplib::Request& req, Config& configCopy) {
        std::lock_guard lock(mutex);
        requests.push_back({req.target, req.get_header_value("User-Agent"),
                            req.has_header("If-Modified-Since") || req.has_header("If-None-Match"),
                            req.get_header_value("Cache-Control").find("no-cache") != std::string::npos ||
                                req.get_header_value("Pragma").find("no-cache") != std::string::npos});
        if (log.is_open()) log << req.method << ' ' << req.target << ' ' << req.version << std::endl;
        configCopy = config;
        for (auto& rule : rules) {
            if (rule.times == 0 || req.target.find(rule.match) == std::string::npos) continue;
            if (rule.times > 0) --rule.times;
            return rule;
        }
        return Rule{};
    }

    void handle(const httplib::Request& req, httplib::Response& res) {
        Config config;
        const Rule rule = take(req, config);

        std::string body, type = kXmlType;
        if (req.target.find("/onca/xml3") != std::string::npos) {
            body = catalogueReply(config, req.target);
        } else if (req.target.find("/search") != std::string::npos) {
            body = enginePage(config);
            type = "text/html; charset=utf-8";
        } else {
            body = config.imageBytes.empty() ? defaultImage() : config.imageBytes;
            type = "image/jpeg";
        }

        switch (rule.action) {
        case Action::Pass:
            res.set_content(body, type);
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

bool Server::start(int port) {
    impl_->http.set_keep_alive_max_count(1);
    impl_->http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { impl_->handle(req, res); });
    port_ = port == 0 ? impl_->http.bind_to_any_port("127.0.0.1") : (impl_->http.bind_to_port("127.0.0.1", port) ? port : -1);
    if (port_ <= 0) return false;
    impl_->thread = std::thread([this] { impl_->http.listen_after_bind(); });
    // stop() only works on a running server: wait until the accept loop runs.
    while (!impl_->http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void Server::stop() {
    if (!impl_->thread.joinable()) return;
    {
        std::lock_guard lock(impl_->waitMutex);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
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

void Server::clearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->requests.clear();
}

} // namespace standin
