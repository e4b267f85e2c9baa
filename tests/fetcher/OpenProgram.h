#pragma once
// The real velfetch in a temporary application folder, asking the open
// catalogues (stood in for on loopback over HTTPS) when the built-in services find nothing.
#include "CoverFit.h"
#include "HttpSettings.h"
#include "VelfetchProgram.h"
#include "opencatalog/PlayedBack.h"

#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace veltest {

const std::string kCerts = VEL_STANDIN_CERTS;
const std::string kRelease = "0a0a0a0a-1111-4222-8333-444444444444";
const std::string kAgent = "velbot/1.00 ( https://velmora.example.jp/ )";
// What a fetcher may hold at its peak: half again the download cap.
constexpr long kMemoryBoundKiB = long(velfetch::kMaxDownloadBytes / 1024 * 3 / 2);

inline standin::OpenTrack track(bool front, bool itunes, std::string image = {}) {
    return {"Foo Artist", "Bar Title", kRelease, "B00TESTMB1", front, itunes, std::move(image)};
}

class OpenProgram : public veltest::VelfetchProgram {
protected:
    void SetUp() override {
        server.enableTls({kCerts + "/server.pem", kCerts + "/server.key"});
        VelfetchProgram::SetUp();
    }

    // The open catalogues know `tracks`; the built-in services answer "nothing" unless `catalogueResults`.
    void serve(std::vector<standin::OpenTrack> tracks, long long catalogueResults = 0) {
        standin::Config config;
        config.totalResults = catalogueResults;
        config.engineLink.clear();
        config.openTracks = std::move(tracks);
        server.setConfig(config);
    }

    int lookUp(std::vector<standin::OpenTrack> tracks, const std::string& file, long long catalogueResults = 0,
               const std::string& caBundle = kCerts + "/ca.pem") {
        serve(std::move(tracks), catalogueResults);
        return run({'"' + file + '"'}, {}, {"CURL_CA_BUNDLE=" + caBundle});
    }

    std::string taggedTrack() {
        std::ofstream(folder.file("track.mp3"), std::ios::binary) << veltest::withId3v1("Bar Title", "Foo Artist");
        return folder.file("track.mp3");
    }

    std::vector<std::string> secureRequests() {
        std::vector<std::string> out;
        for (const auto& r : server.requests())
            if (r.rfind("https://", 0) == 0) out.push_back(r);
        return out;
    }

    std::pair<int, int> pictureSize() {
        const auto image = folder.read("temp.jpg");
        if (!image) return {0, 0};
        const auto size = velfetch::opencatalog::JpegSize(veltest::bytes(*image));
        return size ? std::pair{size->width, size->height} : std::pair{-1, -1};
    }
};

} // namespace veltest
