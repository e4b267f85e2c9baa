#pragma once
// Replies of the open catalogues played back without a network, on a clock
// that moves only when asked to, and pictures drawn for them.
#include "Clock.h"
#include "WebClient.h"

#include <nlohmann/json.hpp>
#include <turbojpeg.h>

#include <cstdio> // before jpeglib.h, which uses FILE
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace veltest {

using velfetch::opencatalog::Clock;
using velfetch::opencatalog::WebReply;

class FakeClock final : public Clock {
public:
    time_point now() override { return now_; }
    void sleepUntil(time_point when) override { now_ = std::max(now_, when); }
    void advance(std::chrono::milliseconds by) { now_ += by; }

private:
    time_point now_{std::chrono::seconds(1000)};
};

inline std::vector<std::uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

inline WebReply reply(long status, const std::string& body) { return {status, true, bytes(body)}; }
inline WebReply ok(const std::string& body) { return reply(200, body); }
// A throttle's reply, with the wait it asks for (Retry-After; 0: none).
inline WebReply busy(long status, std::chrono::seconds retryAfter = std::chrono::seconds(0)) {
    WebReply r = reply(status, "<html>busy</html>");
    r.retryAfter = retryAfter;
    return r;
}

// Replies by URL prefix, each prefix's in turn (the last one repeats); 404
// for anything else. Every request takes `cost` on the clock.
class FakeWeb final : public velfetch::opencatalog::WebClient {
public:
    struct Request {
        std::string url;
        Clock::time_point at;
    };

    explicit FakeWeb(FakeClock& clock, std::chrono::milliseconds cost = std::chrono::milliseconds(50))
        : clock_(clock), cost_(cost) {}

    void on(const std::string& prefix, std::vector<WebReply> replies) {
        replies_[prefix].assign(replies.begin(), replies.end());
    }

    WebReply Get(const std::string& url, Clock::time_point end, std::size_t maxBytes) override {
        if (clock_.now() >= end) return {};
        requests.push_back({url, clock_.now()});
        clock_.advance(cost_);
        for (auto& [prefix, queue] : replies_) {
            if (url.rfind(prefix, 0) != 0 || queue.empty()) continue;
            WebReply r = queue.front();
            if (queue.size() > 1) queue.pop_front();
            if (r.body.size() > maxBytes) r.complete = false;
            return r;
        }
        return reply(404, "");
    }

    std::vector<Request> requests;

private:
    FakeClock& clock_;
    std::chrono::milliseconds cost_;
    std::map<std::string, std::deque<WebReply>> replies_;
};

// A JPEG of `width` x `height` px in a gradient.
inline std::string jpeg(int width, int height) {
    std::vector<unsigned char> rgb(std::size_t(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>((i / 3 % width) * 255 / width);
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 85, 0);
    std::string result(reinterpret_cast<char*>(out), size);
    tjFree(out);
    tjDestroy(h);
    return result;
}

// A JPEG in printing inks, `width` x `height` px of the colour `rgb`: CMYK,
// or YCCK (which libjpeg makes of CMYK); the inks written inverted and the
// file marked so, as Adobe's programs do (`adobe`; YCCK is always marked), or
// as they are and unmarked.
inline std::string inkJpeg(int width, int height, std::array<int, 3> rgb, bool ycck, bool adobe) {
    const int k = 255 - std::max({rgb[0], rgb[1], rgb[2]});
    std::array<unsigned char, 4> inks{};
    for (int c = 0; c < 3; ++c) inks[c] = k == 255 ? 0 : (255 - rgb[c] - k) * 255 / (255 - k);
    inks[3] = static_cast<unsigned char>(k);
    if (adobe)
        for (auto& ink : inks) ink = static_cast<unsigned char>(255 - ink);
    std::vector<unsigned char> row(std::size_t(width) * 4);
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = inks[i % 4];

    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, ycck ? JCS_YCCK : JCS_CMYK);
    c.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    for (JSAMPROW r = row.data(); c.next_scanline < c.image_height;) jpeg_write_scanlines(&c, &r, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string result(reinterpret_cast<char*>(out), size);
    std::free(out);
    return result;
}

// The colour of the pixel in the middle of a JPEG picture (-1s: no picture).
inline std::array<int, 3> middleColour(const std::vector<std::uint8_t>& jpeg) {
    tjhandle h = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    std::vector<unsigned char> rgb;
    std::array<int, 3> colour{-1, -1, -1};
    if (tjDecompressHeader3(h, jpeg.data(), jpeg.size(), &width, &height, &subsampling, &colorspace) == 0) {
        rgb.resize(std::size_t(width) * height * 3);
        if (tjDecompress2(h, jpeg.data(), jpeg.size(), rgb.data(), width, 0, height, TJPF_RGB, 0) == 0)
            for (int c = 0; c < 3; ++c) colour[c] = rgb[(std::size_t(height / 2) * width + width / 2) * 3 + c];
    }
    tjDestroy(h);
    return colour;
}

// Shapes of MusicBrainz recording search replies.
// A release id whose last digits are `n`.
inline std::string id(int n) {
    char s[40];
    std::snprintf(s, sizeof s, "00000000-0000-4000-8000-%012d", n);
    return s;
}

inline nlohmann::json release(int n, const std::string& status = "Official", const std::string& type = "Album",
                              std::vector<std::string> secondary = {}, const std::string& country = "JP",
                              const std::string& date = "2004-05-26") {
    nlohmann::json r = {{"id", id(n)}, {"status", status}, {"title", "Album"},
                        {"release-group", {{"primary-type", type}, {"secondary-types", secondary}}}, {"date", date}};
    if (!country.empty()) r["country"] = country;
    return r;
}

inline nlohmann::json recording(const std::string& artist, const std::string& title, nlohmann::json releases) {
    return {{"id", "00000000-0000-4000-8000-00000000c001"}, {"score", 100}, {"title", title},
            {"artist-credit", {{{"name", artist}, {"joinphrase", ""}, {"artist", {{"name", artist}}}}}},
            {"releases", releases}};
}

inline std::string search(nlohmann::json recordings) {
    return nlohmann::json{{"count", recordings.size()}, {"offset", 0}, {"recordings", recordings}}.dump();
}

} // namespace veltest
