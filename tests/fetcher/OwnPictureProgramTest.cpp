// The cover the user already has, in the tag or beside the track, through the
// real velfetch: saved before any open catalogue is asked, and hostile pictures
// and tags kept within the memory bound of downloads.
#include "OpenProgram.h"
#include "opencatalog/HostilePictures.h"
#include "opencatalog/PlayedBack.h"
#include "owncover/TaggedTrack.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>

namespace {

using namespace veltest;

// The open catalogues would have a cover too. The hostile tags also stand in for the
// ID3v1 tag, so the decoder library's tag plug-in reads them, and the names after the blow-up count.
struct OwnCase {
    const char* name;
    // Makes the track (in `folder`, and pictures beside it) from a track with an ID3v1 tag; its path.
    std::function<std::string(veltest::TempFolder& folder, const std::string& plain)> track;
    std::pair<int, int> size;                  // of the cover saved
    std::optional<std::array<int, 3>> colour{}; // of its middle pixel, give or take a little
    bool taggedWords = true;                    // the catalogue is asked for "Foo Artist Bar Title"
};
void PrintTo(const OwnCase& c, std::ostream* os) { *os << c.name; }

class OwnPictureProgram : public OpenProgram, public ::testing::WithParamInterface<OwnCase> {};

TEST_P(OwnPictureProgram, SavedWithoutAskingTheOpenCatalogues) {
    folder.write("asin", "OLDASIN");
    const std::string file = GetParam().track(folder, veltest::withId3v1("Bar Title", "Foo Artist"));
    ASSERT_EQ(lookUp({track(true, true, veltest::jpeg(250, 250))}, file), 0);
    ASSERT_FALSE(server.requests().empty()); // the built-in steps came first
    if (GetParam().taggedWords) {
        EXPECT_NE(server.requests()[0].find("&KeywordSearch=Foo+Artist+Bar+Title&"), std::string::npos)
            << server.requests()[0];
    }
    EXPECT_TRUE(server.tunnels().empty());
    EXPECT_TRUE(secureRequests().empty());
    EXPECT_EQ(pictureSize(), GetParam().size);
    EXPECT_EQ(folder.read("asin"), "");
    if (const auto& colour = GetParam().colour) {
        const auto saved = veltest::middleColour(veltest::bytes(folder.read("temp.jpg").value_or("")));
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(saved[i], (*colour)[i], 8) << "channel " << i;
    }
#if defined(__SANITIZE_ADDRESS__)
    return; // memory is measured without the sanitizers
#endif
    if (peakKiB == 0) GTEST_SKIP() << "no GNU time to measure with";
    EXPECT_LT(peakKiB, kMemoryBoundKiB) << "peak resident memory in KiB";
    std::printf("[ memory ] peak %ld KiB\n", peakKiB);
}

constexpr std::array<int, 3> kOrange{200, 100, 50};
using Type = TagLib::ID3v2::AttachedPictureFrame::Type;

std::string embedded(veltest::TempFolder& folder, const std::string& plain, const std::string& picture) {
    folder.write("track.mp3", plain);
    EXPECT_TRUE(veltest::addPictures(folder.file("track.mp3"), {{Type::FrontCover, picture}}));
    return folder.file("track.mp3");
}
std::string beside(veltest::TempFolder& folder, const std::string& plain, const char* name,
                   const std::string& picture) {
    folder.write(name, picture);
    folder.write("track.mp3", plain);
    return folder.file("track.mp3");
}

const std::string kPicture = veltest::jpeg(500, 250);

// The track without its ID3v1 tag, with these bytes before it (a tag) and these at its end.
std::string untagged(veltest::TempFolder& folder, const std::string& before, const std::string& plain,
                     const std::string& after = {}) {
    folder.write("track.mp3", before + plain.substr(0, plain.size() - 128) + after);
    return folder.file("track.mp3");
}
// Title and artist frames of an ID3v2 tag (version 3 or 4).
std::string names(int version) {
    return veltest::id3Frame(version, "TIT2", std::string(1, '\3') + "Bar Title") +
           veltest::id3Frame(version, "TPE1", std::string(1, '\3') + "Foo Artist");
}
// A text frame's body of `count` values "a", two bytes each.
std::string manyValues(int count) {
    std::string text(1, '\0');
    for (int i = 0; i < count; ++i) text += std::string("a\0", 2);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, OwnPictureProgram,
    ::testing::Values(
        OwnCase{"Embedded", [](auto& f, auto& p) { return embedded(f, p, kPicture); }, {358, 179}},
        OwnCase{"Beside", [](auto& f, auto& p) { return beside(f, p, "Cover.JPG", kPicture); }, {358, 179}},
        OwnCase{"EmbeddedYcck",
                [](auto& f, auto& p) { return embedded(f, p, veltest::inkJpeg(500, 250, kOrange, true, true)); },
                {358, 179}, kOrange},
        OwnCase{"BesideCmyk",
                [](auto& f, auto& p) {
                    return beside(f, p, "cover.jpg", veltest::inkJpeg(300, 150, kOrange, false, false));
                },
                {300, 150}, kOrange},
        // IHDR 16 x 16, its image data a 2 MB stream that inflates to 2 GB.
        OwnCase{"PngOfLongImageDataEmbedded",
                [](auto& f, auto& p) { return embedded(f, p, veltest::pngBomb(16, 16, 2000)); }, {16, 16}},
        OwnCase{"PngOfLongImageDataBeside",
                [](auto& f, auto& p) { return beside(f, p, "folder.png", veltest::pngBomb(16, 16, 2000)); }, {16, 16}},
        OwnCase{"FoundByFuzzing",
                [](auto& f, auto&) {
                    f.write("track.mp3",
                            veltest::TempFolder::readFile(VEL_FUZZ_CORPUS "/fuzz_own_cover/own-cover-png-692mb.mp3")
                                .value_or(""));
                    return f.file("track.mp3");
                },
                {16, 16}, std::nullopt, false},
        // Compressed frames that inflate to 1 GB each (a picture, a title), then the names and the cover.
        OwnCase{"CompressedFramesThenCover",
                [](auto& f, auto& p) {
                    const std::string bomb = veltest::bigEndian(1000u << 20, 4, 7) + veltest::zlibZeros(1000);
                    const std::string cover = veltest::id3Frame(4, "APIC", veltest::frontCover(kPicture));
                    return untagged(f,
                                    veltest::id3Tag(4, veltest::id3Frame(4, "APIC", bomb, 0x09) +
                                                           veltest::id3Frame(4, "TIT2", bomb, 0x09) + names(4) + cover),
                                    p);
                },
                {358, 179}},
        // A title of half a million values and a TXXX frame of four million, then the names and the cover.
        OwnCase{"LongTextFramesThenCover",
                [](auto& f, auto& p) {
                    const std::string cover = veltest::id3Frame(3, "APIC", veltest::frontCover(kPicture));
                    return untagged(f,
                                    veltest::id3Tag(3, veltest::id3Frame(3, "TIT2", manyValues(1 << 19)) +
                                                           veltest::id3Frame(3, "TXXX", manyValues(4 << 20)) +
                                                           names(3) + cover),
                                    p);
                },
                {358, 179}},
        // The names, then 700 000 frames of a byte each; the cover beside the track.
        OwnCase{"ManyFramesThenFile",
                [](auto& f, auto& p) {
                    std::string frames = names(3);
                    for (int i = 0; i < 700000; ++i) frames += veltest::id3Frame(3, "XXXX", "a");
                    f.write("cover.jpg", kPicture);
                    return untagged(f, veltest::id3Tag(3, frames), p);
                },
                {358, 179}},
        // An APEv2 comment of eight million NULs, then the names; the cover beside the track.
        OwnCase{"LongApeTextThenFile",
                [](auto& f, auto& p) {
                    f.write("cover.jpg", kPicture);
                    return untagged(f, {}, p,
                                    veltest::apeTag({veltest::apeItem("Comment", std::string(8 << 20, '\0')),
                                                     veltest::apeItem("Title", "Bar Title"),
                                                     veltest::apeItem("Artist", "Foo Artist")}));
                },
                {358, 179}}),
    [](const auto& info) { return std::string(info.param.name); });

// Without the picture plug-in the tag's picture goes unread, quietly: the
// open catalogues are asked as for a track without one.
TEST_F(OpenProgram, WithoutThePicturePluginTheTagsPictureIsNotRead) {
    std::filesystem::remove(folder.file("libvelpictures.so"));
    const std::string file = taggedTrack();
    ASSERT_TRUE(veltest::addPictures(file, {{TagLib::ID3v2::AttachedPictureFrame::FrontCover, kPicture}}));
    ASSERT_EQ(lookUp({track(true, false, veltest::jpeg(250, 250))}, file), 0);
    EXPECT_EQ(pictureSize(), std::pair(179, 179));
    EXPECT_EQ(folder.read("asin"), "B00TESTMB1");
}

} // namespace
