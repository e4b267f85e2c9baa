// Opening, measuring, decoding and seeking MP3 files, and refusing what is not one.
#include "Decoder.h"
#include "FrameHeader.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <tuple>
#include <vector>

using namespace vbmp3test;
using vbmp3::Decoder;

namespace {

struct Fixture {
    const char* file;
    int seconds;      // length of the synthesised audio
    int sampleRate;
    int channels;
};

void PrintTo(const Fixture& f, std::ostream* os) { *os << f.file; }

const Fixture kFixtures[] = {
    {"cbr.mp3", 3, 44100, 2},        {"vbr_xing.mp3", 8, 44100, 2},
    {"vbr_noxing.mp3", 8, 44100, 2}, {"mpeg2_mono.mp3", 4, 22050, 1},
    {"id3v2_v1.mp3", 3, 44100, 2},
};

class DecoderFixtures : public ::testing::TestWithParam<Fixture> {};

// The synthesised second k holds a sine of 250 * (k % 16 + 1) Hz: find which
// one dominates the left channel of the given frames.
int secondHeard(const std::vector<std::int16_t>& stereo, std::size_t from, std::size_t count,
                int rate) {
    int best = -1;
    double bestPower = -1;
    for (int k = 0; k < 16; ++k) {
        const double w = 2 * M_PI * 250.0 * (k + 1) / rate;
        double s1 = 0, s2 = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            const double s0 = stereo[2 * i] + 2 * std::cos(w) * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
        if (power > bestPower) bestPower = power, best = k;
    }
    return best;
}

// Reads to the end: the seconds of audio decoded.
double decodedSeconds(Decoder& d) {
    std::vector<std::int16_t> buf(4096 * 2);
    std::size_t total = 0, got;
    while ((got = d.read(buf.data(), 4096)) > 0) total += got;
    return static_cast<double>(total) / d.sampleRate();
}

} // namespace

TEST_P(DecoderFixtures, OpensWithTheLengthOfTheAudioAndDecodesItAll) {
    const Fixture& f = GetParam();
    auto d = Decoder::open(fixture(f.file).c_str());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->lengthSeconds(), f.seconds);
    EXPECT_NEAR(d->info().seconds(), f.seconds, 0.2);
    EXPECT_EQ(d->sampleRate(), f.sampleRate);
    EXPECT_EQ(d->info().first.channels, f.channels);
    EXPECT_NEAR(decodedSeconds(*d), f.seconds, 0.1);
}

TEST_P(DecoderFixtures, SeekLandsOnTheRightSecond) {
    const Fixture& f = GetParam();
    auto d = Decoder::open(fixture(f.file).c_str());
    ASSERT_TRUE(d);
    // Backwards and forwards, so that both directions of the seek are used.
    for (int second : {f.seconds - 1, 1, f.seconds - 2, 0, 2}) {
        SCOPED_TRACE(second);
        const std::int64_t landed = d->seekSample(std::int64_t{second} * f.sampleRate);
        ASSERT_EQ(landed, std::int64_t{second} * f.sampleRate);
        std::vector<std::int16_t> audio(f.sampleRate / 2 * 2);
        std::size_t have = 0;
        while (have < audio.size() / 2) {
            const std::size_t got = d->read(audio.data() + 2 * have, audio.size() / 2 - have);
            ASSERT_GT(got, 0u);
            have += got;
        }
        // Skip the first tenth of a second: encoder delay and the edge of the second.
        EXPECT_EQ(secondHeard(audio, f.sampleRate / 10, f.sampleRate / 5, f.sampleRate),
                  second % 16);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DecoderFixtures, ::testing::ValuesIn(kFixtures),
                         [](const auto& info) {
                             std::string n = info.param.file;
                             return n.substr(0, n.find('.'));
                         });

// Files that other players play, with odd things around or inside their
// audio (see assemble_fixtures.py): each opens with a Length within a second
// of what ffmpeg decodes, and the decoder plays exactly the frames counted,
// never a cover picture or junk decoded as noise.
class OddFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(OddFiles, OpenWithTheLengthThatPlays) {
    double ffmpeg = -1, seconds;
    std::ifstream lengths(fixture("lengths.txt"));
    for (std::string name; lengths >> name >> seconds;)
        if (name == GetParam()) ffmpeg = seconds;
    ASSERT_GT(ffmpeg, 0) << "no ffmpeg length";
    auto d = Decoder::open(fixture(GetParam()).c_str());
    ASSERT_TRUE(d);
    EXPECT_NEAR(d->lengthSeconds(), ffmpeg, 1.0);
    EXPECT_NEAR(decodedSeconds(*d), d->info().seconds(), 0.1);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, OddFiles,
    ::testing::Values("odd_ape_big.mp3", "odd_ape_lyrics.mp3", "odd_two_id3v2.mp3",
                      "odd_id3v2_oversized.mp3", "odd_zero_tail.mp3", "odd_junk_tail.mp3",
                      "odd_mono_stereo.mp3", "odd_stereo_mono.mp3", "odd_modes.mp3",
                      "odd_mpeg25_8k.mp3"),
    [](const auto& info) {
        std::string n = info.param;
        return n.substr(4, n.find('.') - 4);
    });

TEST(FrameHeader, ParsesSizesOfEveryVersionAndLayer) {
    struct Case {
        std::uint8_t bytes[4];
        int version, layer, kbps, rate, channels, frameBytes, samples;
    };
    const Case cases[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, 10, 3, 128, 44100, 2, 417, 1152},
        {{0xFF, 0xFB, 0x92, 0x64}, 10, 3, 128, 44100, 2, 418, 1152}, // padded
        {{0xFF, 0xF3, 0x84, 0xC4}, 20, 3, 64, 24000, 1, 192, 576},
        {{0xFF, 0xE3, 0x18, 0xC4}, 25, 3, 8, 8000, 1, 72, 576},
        {{0xFF, 0xFD, 0xA4, 0x00}, 10, 2, 192, 48000, 2, 576, 1152},
        {{0xFF, 0xFF, 0x10, 0x00}, 10, 1, 32, 44100, 2, 32, 384},
    };
    for (const Case& c : cases) {
        auto h = vbmp3::FrameHeader::parse(c.bytes);
        ASSERT_TRUE(h) << c.kbps;
        EXPECT_EQ(std::tuple(h->version, h->layer, h->bitrateKbps, h->sampleRate, h->channels, h->frameBytes,
                             h->samples),
                  std::tuple(c.version, c.layer, c.kbps, c.rate, c.channels, c.frameBytes, c.samples));
    }
}

TEST(FrameHeader, RejectsReservedAndFreeFormatValues) {
    const std::uint8_t bad[][4] = {
        {0xFF, 0xEB, 0x90, 0x64}, // reserved version
        {0xFF, 0xF9, 0x90, 0x64}, // reserved layer
        {0xFF, 0xFB, 0x00, 0x64}, // free format
        {0xFF, 0xFB, 0xF0, 0x64}, // bad bitrate
        {0xFF, 0xFB, 0x9C, 0x64}, // reserved sample rate
        {0xFF, 0xFB, 0x90, 0x66}, // reserved emphasis
        {0xFE, 0xFB, 0x90, 0x64}, // no sync
    };
    for (const auto& b : bad) EXPECT_FALSE(vbmp3::FrameHeader::parse(b));
}

TEST(DecoderRefuses, WhatIsNotAnMp3File) {
    ScratchDir dir;
    std::mt19937 rng(20240611);
    auto random = [&](std::size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>(rng());
        return s;
    };
    // A JPEG start, then noise that is full of 0xFF bytes as real JPEG data is.
    std::string jpeg = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00";
    for (int i = 0; i < 20000; ++i) jpeg += (i % 3 == 0) ? '\xFF' : static_cast<char>(rng());

    std::vector<std::pair<std::string, std::string>> files = {
        {"empty.mp3", ""},
        {"text.mp3", "This is a text file renamed to .mp3\nIt has lines.\n"},
        {"jpeg.mp3", jpeg},
        {"random64k.mp3", random(65536)},
        {"sync-only.mp3", std::string(4096, '\xFF')},
        // One good-looking header followed by garbage.
        {"one-header.mp3", std::string("\xFF\xFB\x90\x64", 4) + random(2000)},
    };
    for (std::size_t n = 0; n <= 130; ++n) files.push_back({"short" + std::to_string(n), random(n)});
    // A lone Info frame, and tags without audio.
    const std::string cbr = readAll(fixture("cbr.mp3"));
    files.push_back({"xing-only.mp3", cbr.substr(0, 417)});
    const std::string v2 = readAll(fixture("tag_picture_only.mp3"));
    files.push_back({"id3v2-only.mp3", v2.substr(0, v2.size() - cbr.size())});
    const std::string ape = readAll(fixture("odd_ape_big.mp3"));
    files.push_back({"ape-id3v1-only.mp3", ape.substr(cbr.size())});
    for (const auto& [name, bytes] : files) {
        writeAll(dir.file(name), bytes);
        EXPECT_FALSE(Decoder::open(dir.file(name).c_str())) << name;
    }
    // Other kinds of audio under an .mp3 name.
    for (const char* other : {"not_flac.mp3", "not_ogg.mp3", "not_adts.mp3", "not_ac3.mp3", "not_wma.mp3"})
        EXPECT_FALSE(Decoder::open(fixture(other).c_str())) << other;
    EXPECT_FALSE(Decoder::open(dir.file("missing.mp3").c_str()));
    fs::create_directory(dir.file("folder.mp3"));
    EXPECT_FALSE(Decoder::open(dir.file("folder.mp3").c_str()));
    EXPECT_FALSE(Decoder::open(nullptr));
    EXPECT_FALSE(Decoder::open(""));
}

TEST(DecoderRefuses, ManyRandomFilesWithoutCrashing) {
    ScratchDir dir;
    std::mt19937 rng(77);
    int accepted = 0;
    for (int i = 0; i < 200; ++i) {
        std::string s(1000 + rng() % 20000, '\0');
        for (char& c : s) c = static_cast<char>(rng() % 7 == 0 ? 0xFF : rng());
        writeAll(dir.file("r.mp3"), s);
        auto d = Decoder::open(dir.file("r.mp3").c_str());
        if (d) {
            ++accepted;
            decodedSeconds(*d);
        }
    }
    EXPECT_EQ(accepted, 0);
}

TEST(DecoderTruncated, PlaysTheWholeFramesThatAreLeft) {
    ScratchDir dir;
    const std::string whole = readAll(fixture("vbr_xing.mp3"));
    const double full = Decoder::open(fixture("vbr_xing.mp3").c_str())->info().seconds();
    const struct {
        std::size_t keep;
        double below;
    } cases[] = {{whole.size() / 2 + 77, 6.0}, {whole.size() - 5, full}, {3000, 0.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keep);
        writeAll(dir.file("cut.mp3"), whole.substr(0, c.keep));
        auto d = Decoder::open(dir.file("cut.mp3").c_str());
        ASSERT_TRUE(d);
        // Counted from the frames present, not from the Xing header's promise.
        EXPECT_LT(d->info().seconds(), c.below);
        EXPECT_NEAR(decodedSeconds(*d), d->info().seconds(), 0.06);
    }
}

TEST(DecoderJunk, FindsTheAudioAfterLeadingJunkAndAcrossAGap) {
    ScratchDir dir;
    const std::string audio = readAll(fixture("vbr_noxing.mp3"));
    std::string junk(3000, 'j');
    // Junk in front, and a burst of junk in the middle of the stream.
    const std::size_t mid = audio.size() / 2;
    writeAll(dir.file("junk.mp3"), junk + audio.substr(0, mid) + junk + audio.substr(mid));
    auto d = Decoder::open(dir.file("junk.mp3").c_str());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->info().firstOffset, 3000);
    EXPECT_EQ(d->lengthSeconds(), 8);
}

TEST(DecoderJunk, FindsTheAudioInsideAnId3v2TagThatClaimsTheWholeFile) {
    ScratchDir dir;
    std::string file = readAll(fixture("odd_id3v2_oversized.mp3"));
    file.replace(6, 4, "\x7F\x7F\x7F\x7F", 4); // 256 MB
    writeAll(dir.file("claims.mp3"), file);
    auto d = Decoder::open(dir.file("claims.mp3").c_str());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->lengthSeconds(), 3);
}
