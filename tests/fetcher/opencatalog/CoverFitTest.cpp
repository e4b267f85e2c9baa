// Covers are saved as JPEG pictures that fit the 364 x 179 cover area.
#include "CoverFit.h"
#include "opencatalog/HostilePictures.h"
#include "opencatalog/PlayedBack.h"

#include <gtest/gtest.h>

using velfetch::opencatalog::FitCover;
using velfetch::opencatalog::JpegSize;

namespace {

struct FitCase {
    const char* name;
    std::string input;
    std::optional<std::pair<int, int>> size;    // nothing: no cover
    bool unchanged = false;                      // the bytes are kept as they came
    std::optional<std::array<int, 3>> colour{}; // of the middle pixel, give or take a little
};
void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class Fit : public ::testing::TestWithParam<FitCase> {};

TEST_P(Fit, SizeAndBytes) {
    const FitCase& c = GetParam();
    const auto out = FitCover(veltest::bytes(c.input));
    ASSERT_EQ(out.has_value(), c.size.has_value());
    if (!out) return;
    const auto size = JpegSize(*out);
    ASSERT_TRUE(size);
    EXPECT_EQ(std::make_pair(size->width, size->height), *c.size);
    EXPECT_EQ(*out == veltest::bytes(c.input), c.unchanged);
    if (!c.colour) return;
    const auto colour = veltest::middleColour(*out);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(colour[i], (*c.colour)[i], 8) << "channel " << i;
}

constexpr std::array<int, 3> kOrange{200, 100, 50};

std::string truncated(std::string jpeg) { return jpeg.substr(0, 200); }
std::string cutAt(std::string jpeg, double share) { return jpeg.substr(0, std::size_t(jpeg.size() * share)); }
// Cut right after the header of its first scan: no picture data at all.
std::string cutAfterScanHeader(std::string jpeg) {
    const auto sos = jpeg.find("\xFF\xDA");
    return jpeg.substr(0, sos + 2 + (std::size_t(std::uint8_t(jpeg[sos + 2])) << 8 | std::uint8_t(jpeg[sos + 3])));
}

// A picture whose header claims 8000 x 8000 px.
std::string claimsHuge() {
    std::string j = veltest::jpeg(8, 8);
    const auto sof = j.find("\xFF\xC0");
    for (std::size_t at : {sof + 5, sof + 7}) j[at] = char(8000 >> 8), j[at + 1] = char(8000 & 255);
    return j;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Fit,
    ::testing::Values(FitCase{"Cover250ScaledTo179", veltest::jpeg(250, 250), std::pair{179, 179}},
                      FitCase{"WideScaledToTheWidth", veltest::jpeg(1000, 200), std::pair{364, 73}},
                      FitCase{"TallScaledToTheHeight", veltest::jpeg(300, 1200), std::pair{45, 179}},
                      FitCase{"FittingKeptAsItCame", veltest::jpeg(160, 160), std::pair{160, 160}, true},
                      FitCase{"ExactlyTheAreaKept", veltest::jpeg(364, 179), std::pair{364, 179}, true},
                      FitCase{"HtmlIsNoPicture", "<html><body>Not Found</body></html>", std::nullopt},
                      FitCase{"PngIsNoJpeg", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR", std::nullopt},
                      FitCase{"Empty", "", std::nullopt},
                      FitCase{"CutAfterTheHeader", truncated(veltest::jpeg(250, 250)), std::nullopt},
                      FitCase{"TooLargeToBeACover", claimsHuge(), std::nullopt},
                      FitCase{"FewScansDecode", veltest::manyScans(256, 20), std::pair{179, 179}},
                      FitCase{"TooManyScansIsNoPicture", veltest::manyScans(256, velfetch::opencatalog::kMaxScans),
                              std::nullopt},
                      FitCase{"CutFittingPictureEncodedAnew", cutAt(veltest::jpeg(250, 150), 0.55), std::pair{250, 150}},
                      FitCase{"CutProgressiveEncodedAnew", cutAt(veltest::manyScans(160, 0), 0.5), std::pair{160, 160}},
                      FitCase{"CutBeforeAnyRowIsNoPicture", cutAfterScanHeader(veltest::jpeg(160, 160)), std::nullopt},
                      // Printing inks become RGB, encoded anew however well they fit.
                      FitCase{"CmykAdobeInverted", veltest::inkJpeg(120, 80, kOrange, false, true), std::pair{120, 80},
                              false, kOrange},
                      FitCase{"CmykPlain", veltest::inkJpeg(120, 80, kOrange, false, false), std::pair{120, 80}, false,
                              kOrange},
                      FitCase{"YcckScaled", veltest::inkJpeg(500, 250, kOrange, true, true), std::pair{358, 179}, false,
                              kOrange}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FitWithin, NoPictureOnceTheTimeIsUp) {
    const auto picture = veltest::bytes(veltest::jpeg(250, 250));
    const auto now = std::chrono::steady_clock::now();
    EXPECT_TRUE(FitCover(picture, 364, 179, now + std::chrono::minutes(1)));
    EXPECT_FALSE(FitCover(picture, 364, 179, now));
}

TEST(FitWithin, WholeFittingPictureKeptUpToItsEndMarker) {
    const std::string picture = veltest::jpeg(160, 160);
    const auto out = FitCover(veltest::bytes(picture + std::string(4096, '\0')));
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, veltest::bytes(picture));
}

} // namespace
