// velstandin: the loopback stand-in server for tests, demos and benchmarks.
// Point the fetcher at it with http_proxy=http://127.0.0.1:PORT.
#include "StandinServer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/types.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

const char kUsage[] =
    "usage: velstandin [options]\n"
    "  --port N            listen on 127.0.0.1:N (default 0: any free port)\n"
    "  --log FILE          append each request line to FILE (default: standard output)\n"
    "  --log-times on      end each logged line with its arrival time (monotonic seconds)\n"
    "  --delay HOST=MS     answer requests for HOST (e.g. musicbrainz.org) MS milliseconds late\n"
    "  --results N         TotalResults of keyword searches (default 3; 0: no results)\n"
    "  --pages N           TotalPages (default 1)\n"
    "  --per-page N        records per page (default 10)\n"
    "  --engine-link TEXT  text after the product-link prefix on the search page ('' for none)\n"
    "  --image FILE        bytes served for image requests\n"
    "  --album TEXT        a catalogue album, \"ASIN|artist|name|track;track...[|image file]\";\n"
    "                      once any is given, keyword searches find only matching albums\n"
    "  --open-track TEXT   a recording of the open catalogues (needs --tls-cert),\n"
    "                      \"artist|title|release id|asin|front,itunes[|image file]\"\n"
    "  --tls-cert FILE     stand in for the open catalogues' HTTPS hosts too: the port\n"
    "  --tls-key FILE      then answers CONNECT and ends TLS with this certificate and key\n"
    "  --rule RULE         misbehave: \"match=TEXT action=pass|short|silence|drip|404|reset|\n"
    "                      huge|body|redirect|status|gzip [arg=N] [file=PATH] [to=URL] [times=N]\n"
    "                      [retry-after=SECONDS]\" (status: with that Retry-After header)\n"
    "                      (the first matching rule applies; arg: drip ms, 404 page bytes,\n"
    "                      reset after bytes, huge MiB, status code)\n"
    "  --scenario FILE     options from a file, one per line without the dashes (# comments)\n"
    "  --max-seconds N     end by itself after N seconds (default 600)\n"
    "  --watch-pid N       end by itself once process N has gone\n"
    "Prints \"port N\" on its first line once it listens.\n";

struct Options {
    int port = 0;
    std::string log;
    long long maxSeconds = 600;
    long long watchPid = 0;
    standin::Config config;
    std::vector<standin::Rule> rules;
    standin::TlsFiles tls;
    bool logTimes = false;
    std::vector<std::pair<std::string, std::chrono::milliseconds>> delays;
};

bool readFile(const std::string& path, std::string& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    out.assign(std::istreambuf_iterator<char>(f), {});
    return true;
}

bool apply(Options& o, const std::string& key, const std::string& value, std::string& error) {
    try {
        if (key == "port") o.port = std::stoi(value);
        else if (key == "log") o.log = value;
        else if (key == "log-times") o.logTimes = value == "on";
        else if (key == "delay") {
            auto delay = standin::parseHostDelay(value, &error);
            if (!delay) return false;
            o.delays.push_back(*delay);
        }
        else if (key == "results") o.config.totalResults = std::stoll(value);
        else if (key == "pages") o.config.totalPages = std::stoll(value);
        else if (key == "per-page") o.config.perPage = std::stoi(value);
        else if (key == "engine-link") o.config.engineLink = value;
        else if (key == "max-seconds") o.maxSeconds = std::stoll(value);
        else if (key == "watch-pid") o.watchPid = std::stoll(value);
        else if (key == "image") {
            if (!readFile(value, o.config.imageBytes)) return error = "cannot read " + value, false;
        } else if (key == "album") {
            auto album = standin::parseAlbum(value, &error);
            if (!album) return false;
            o.config.albums.push_back(std::move(*album));
        } else if (key == "open-track") {
            auto track = standin::parseOpenTrack(value, &error);
            if (!track) return false;
            o.config.openTracks.push_back(std::move(*track));
        } else if (key == "tls-cert") {
            o.tls.certificate = value;
        } else if (key == "tls-key") {
            o.tls.key = value;
        } else if (key == "rule") {
            auto rule = standin::parseRule(value, &error);
            if (!rule) return false;
            o.rules.push_back(*rule);
        } else if (key == "scenario") {
            std::ifstream f(value);
            if (!f) return error = "cannot read " + value, false;
            for (std::string line; std::getline(f, line);) {
                if (line.empty() || line[0] == '#') continue;
                auto space = line.find(' ');
                std::string k = line.substr(0, space), v = space == std::string::npos ? "" : line.substr(space + 1);
                if (!apply(o, k, v, error)) return false;
            }
        } else {
            return error = "unknown option --" + key, false;
        }
    } catch (const std::exception&) {
        return error = "bad number for --" + key + ": " + value, false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg.rfind("--", 0) != 0 || i + 1 >= argc) {
            std::cerr << "velstandin: bad argument " << arg << "\n" << kUsage;
            return 2;
        }
        if (!apply(o, arg.substr(2), argv[++i], error)) {
            std::cerr << "velstandin: " << error << "\n";
            return 2;
        }
    }

    if (o.tls.certificate.empty() != o.tls.key.empty()) {
        std::cerr << "velstandin: --tls-cert and --tls-key go together\n";
        return 2;
    }
    standin::Server server(o.config);
    if (!o.tls.certificate.empty()) server.enableTls(o.tls);
    for (auto& rule : o.rules) server.addRule(rule);
    server.setLogFile(o.log.empty() ? "/dev/stdout" : o.log);
    server.setLogTimes(o.logTimes);
    for (const auto& [host, delay] : o.delays) server.setHostDelay(host, delay);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    if (!server.start(o.port)) {
        std::cerr << "velstandin: cannot listen on port " << o.port << "\n";
        return 1;
    }
    std::cout << "port " << server.port() << std::endl;

    // Bounded life: a forgotten stand-in ends by itself, and so does one whose
    // starter was killed before it could end it.
    auto watchedGone = [&] { return o.watchPid > 0 && kill(pid_t(o.watchPid), 0) != 0 && errno == ESRCH; };
    for (long long ms = 0; !stopRequested && ms < o.maxSeconds * 1000 && !watchedGone(); ms += 50) {
        struct timespec pause { 0, 50'000'000 };
        nanosleep(&pause, nullptr);
    }
    server.stop();
    return 0;
}
