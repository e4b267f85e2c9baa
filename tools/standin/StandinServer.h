#pragma once
// A loopback stand-in for the catalogue service, the search engine and the
// image host, reached through the proxy setting. It logs every request line
// and misbehaves on request so tests and demos can steer it. With TLS files it
// also stands in for the open catalogues' HTTPS hosts: its proxy port then
// answers CONNECT and ends the TLS itself, with a certificate for those hosts.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace standin {

// An album of a catalogue of our own (the demo's): keyword searches find it by
// its texts, ASIN searches and image requests by its identifier, and its
// product page shows it.
struct Album {
    std::string asin;       // letters and digits only
    std::string artist;
    std::string name;
    std::string tracks;     // track titles, ';' between them
    std::string imageBytes; // its cover; the default image when empty
};

// A recording the open catalogues know (MusicBrainz, the Cover Art Archive,
// the iTunes store). Searches find it when their words hold its artist and
// title (ASCII letters in any case).
struct OpenTrack {
    std::string artist;
    std::string title;
    std::string release;    // its MusicBrainz release id; empty: not on MusicBrainz
    std::string asin;       // that release's ASIN; empty: none
    bool front = false;     // the Cover Art Archive holds the release's front cover
    bool itunes = false;    // the iTunes store sells the song
    std::string imageBytes; // its cover; the default image when empty
    std::string album = {}; // its release's title; empty: the title and " (album)"
};

struct Config {
    long long totalResults = 3;  // "TotalResults" of a keyword search (0: no results)
    long long totalPages = 1;    // "TotalPages"
    int perPage = 10;            // records on each page
    // What follows the product-link prefix on the search page, up to the quote;
    // empty: the page holds no product link.
    std::string engineLink = "B000STAND1";
    std::string imageBytes;      // image reply; a small built-in JPEG cover when empty
    // When any: a keyword search finds the albums whose artist, name or tracks
    // hold every search word, and nothing else.
    std::vector<Album> albums;
    std::vector<OpenTrack> openTracks;
};

enum class Action {
    Pass,    // the normal reply
    Short,   // a short 200 reply (too short for the fetcher)
    Silence, // accept, never answer
    Drip,    // the normal reply, 64 bytes every `arg` ms
    NotFound,// 404 with a page of `arg` bytes (default 1024)
    Reset,   // the normal reply's length announced, `arg` bytes sent (default half), then closed
    Huge,    // `arg` MiB of body (default 64)
    Body,    // 200 with `body` as it stands
    Redirect,// 302 to `body`
    Status,  // a short reply with status `arg` (default 503)
    Gzip,    // the normal reply gzip-compressed, with Content-Encoding: gzip
};

struct Rule {
    std::string match;  // substring of the request target; empty matches all
    Action action = Action::Pass;
    long long arg = -1; // -1: the action's default
    std::string body;   // Body: the reply; Redirect: the target; Status: a Retry-After header's value
    int times = -1;     // how often the rule applies; -1: always
};

// "match=<text> action=<pass|short|silence|drip|404|reset|huge|body|redirect|status|gzip>
//  [arg=<n>] [file=<path>] [to=<url>] [times=<n>] [retry-after=<seconds>]"
std::optional<Rule> parseRule(const std::string& text, std::string* error = nullptr);

// "<asin>|<artist>|<name>|<tracks>[|<image file>]"
std::optional<Album> parseAlbum(const std::string& text, std::string* error = nullptr);

// "<host>=<milliseconds>"
std::optional<std::pair<std::string, std::chrono::milliseconds>> parseHostDelay(const std::string& text,
                                                                              std::string* error = nullptr);

// "<artist>|<title>|<release id>|<asin>|<flags: front,itunes>[|<image file>]"
std::optional<OpenTrack> parseOpenTrack(const std::string& text, std::string* error = nullptr);

struct TlsFiles {
    std::string certificate; // PEM, naming every host stood in for
    std::string key;
};
class Server {
public:
    explicit Server(Config config = {});
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Before start(): stand in for HTTPS hosts too.
    void enableTls(TlsFiles files);

    // Listens on 127.0.0.1 (port 0: any free port). False if it cannot.
    bool start(int port = 0);
    void stop();
    int port() const { return port_; }
    std::string proxyUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

    void addRule(Rule rule);
    void setConfig(Config config);
    void setLogFile(const std::string& path); // request lines are appended to it
    // Each logged line ends with the time of arrival: seconds of the system's
    // monotonic clock (steady_clock), comparable across processes.
    void setLogTimes(bool on);
    // Requests for `host` are answered `delay` late: a round trip to a far server.
    void setHostDelay(const std::string& host, std::chrono::milliseconds delay);

    // Request targets in arrival order, as the request lines carried them;
    // requests through a tunnel as "https://" host and target.
    std::vector<std::string> requests() const;
    // The authority ("host:port") of each CONNECT, in arrival order.
    std::vector<std::string> tunnels() const;

    struct Seen {
        std::string target;
        std::chrono::steady_clock::time_point at;
        std::string userAgent;
        bool conditional = false; // If-Modified-Since or If-None-Match was sent
        bool noCache = false;     // Cache-Control or Pragma asked for no-cache
    };
    std::vector<Seen> seen() const;
    void clearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
};

// The replies, for the demo and for tests that compare bodies.
std::string catalogueReply(const Config& config, const std::string& target);
std::string enginePage(const Config& config);
// A small Japanese product page for a store address (…/exec/obidos/ASIN/<id>/…),
// the cover inlined so that the page stands alone as a file.
std::string productPage(const Config& config, const std::string& target);
std::string defaultImage();

} // namespace standin
