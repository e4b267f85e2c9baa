// Covers are saved as JPEG pictures that fit the 364 x 179 cover area.
#include "CoverFit.h"
#include "opencatalog/PlayedBack.h"

#include <gtest/gtest.h>

using velfetch::opencatalog::FitCover;
using velfetch::opencatalog::JpegSize;

namespace {

struct FitCase {
    const char* name;
    std::string input;
    std::optional<std::pair<int, int>> size; // nothing: no cover
    bool unchanged = false;                   // the bytes are kept as they came
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
}

std::string truncated(std::string jpeg) { return jpeg.substr(0, 200); }

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
                      FitCase{"TooLargeToBeACover", claimsHuge(), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
