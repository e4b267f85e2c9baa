// Which picture the user already has is taken: tags before files, front
// covers first, and bad pictures passed over for the next source.
#include "CoverFit.h"
#include "OwnCover.h"
#include "PicturesBeside.h"
#include "TempFolder.h"
#include "VelfetchProgram.h"
#include "opencatalog/HostilePictures.h"
#include "opencatalog/PlayedBack.h"
#include "owncover/TaggedTrack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using Type = TagLib::ID3v2::AttachedPictureFrame::Type;
using velfetch::owncover::FindOwnCover;
using veltest::TempFolder;

namespace {

// Each picture's size tells which one was taken.
const std::string kFront = veltest::jpeg(100, 100);
const std::string kOther = veltest::jpeg(120, 90);
const std::string kBack = veltest::jpeg(130, 60);
const std::string kFile = veltest::jpeg(140, 70);

// A picture whose header claims 8000 x 8000 px.
std::string claimsHuge() {
    std::string j = veltest::jpeg(8, 8);
    const auto sof = j.find("\xFF\xC0");
    for (std::size_t at : {sof + 5, sof + 7}) j[at] = char(8000 >> 8), j[at + 1] = char(8000 & 255);
    return j;
}

struct ChoiceCase {
    const char* name;
    std::function<void(const TempFolder&, const std::string& track)> make;
    std::optional<std::pair<int, int>> size; // of the cover taken; nothing: none
};
void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.name; }

class OwnPictureChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(OwnPictureChoice, TakesTheRightPicture) {
    TempFolder folder;
    const std::string track = folder.file("track.mp3");
    folder.write("track.mp3", veltest::withId3v1("Title", "Artist"));
    GetParam().make(folder, track);

    const auto cover = FindOwnCover(track);
    ASSERT_EQ(cover.has_value(), GetParam().size.has_value());
    if (!cover) return;
    const auto size = velfetch::opencatalog::JpegSize(*cover);
    ASSERT_TRUE(size) << "not a JPEG";
    EXPECT_EQ(std::pair(size->width, size->height), *GetParam().size);
}

void tagged(const std::string& track, std::vector<veltest::TagPicture> pictures, int version = 4) {
    ASSERT_TRUE(veltest::addPictures(track, pictures, version));
}
// The track's bytes after a hand-made ID3v2 tag.
void handTagged(const TempFolder& f, const std::string& tag) {
    f.write("track.mp3", tag + veltest::withId3v1("Title", "Artist"));
}

// The front cover in a hand-made APEv2 tag whose item claims `extra` bytes more than it holds.
void apeTagged(const TempFolder& f, std::size_t extra) {
    std::string track = veltest::withId3v1("Title", "Artist");
    const std::string item = veltest::apeItem("Cover Art (Front)", std::string("a.jpg", 6) + kFront, extra, true);
    track.insert(track.size() - 128, veltest::apeTag({item}));
    f.write("track.mp3", track);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OwnPictureChoice,
    ::testing::Values(
        ChoiceCase{"FrontAmongSeveral",
                   [](auto&, auto& t) {
                       tagged(t, {{Type::Other, kOther}, {Type::BackCover, kBack}, {Type::FrontCover, kFront}});
                   },
                   std::pair{100, 100}},
        ChoiceCase{"OnlyAnOtherInVersion3",
                   [](auto&, auto& t) { tagged(t, {{Type::Artist, kBack}, {Type::Other, kOther}}, 3); },
                   std::pair{130, 60}},
        ChoiceCase{"Version22Pic", [](auto& f, auto&) { handTagged(f, veltest::handMadeTag(2, kFront)); },
                   std::pair{100, 100}},
        ChoiceCase{"ApeFrontBeforeOtherCoverArt",
                   [](auto&, auto& t) {
                       ASSERT_TRUE(
                           veltest::addApeCovers(t, {{"Cover Art (Back)", kBack}, {"Cover Art (Front)", kFront}}));
                   },
                   std::pair{100, 100}},
        ChoiceCase{"ApeOtherCoverArt",
                   [](auto&, auto& t) { ASSERT_TRUE(veltest::addApeCovers(t, {{"Cover Art (Back)", kBack}})); },
                   std::pair{130, 60}},
        ChoiceCase{"Id3v2BeforeApe",
                   [](auto&, auto& t) {
                       tagged(t, {{Type::Other, kOther}});
                       ASSERT_TRUE(veltest::addApeCovers(t, {{"Cover Art (Front)", kFront}}));
                   },
                   std::pair{120, 90}},
        ChoiceCase{"TagBeforeFile",
                   [](auto& f, auto& t) {
                       tagged(t, {{Type::Other, kOther}});
                       f.write("cover.jpg", kFile);
                   },
                   std::pair{120, 90}},
        ChoiceCase{"BrokenFrontThenAnother",
                   [](auto&, auto& t) {
                       tagged(t, {{Type::FrontCover, kFront.substr(0, 300)}, {Type::Other, kOther}});
                   },
                   std::pair{120, 90}},
        ChoiceCase{"BrokenFrontThenTheFileBeside",
                   [](auto& f, auto& t) {
                       tagged(t, {{Type::FrontCover, "\xFF\xD8\xFF not a picture"}});
                       f.write("Folder.jpg", kFile);
                   },
                   std::pair{140, 70}},
        ChoiceCase{"FrameClaimsMoreThanTheTagThenFile",
                   [](auto& f, auto&) {
                       handTagged(f, veltest::handMadeTag(3, kFront, 5000));
                       f.write("cover.png", veltest::png(150, 60));
                   },
                   std::pair{150, 60}},
        ChoiceCase{"ApeItemClaimsMoreThanTheTagThenFile",
                   [](auto& f, auto&) { apeTagged(f, 5000), f.write("AlbumArt.jpg", kFile); }, std::pair{140, 70}},
        ChoiceCase{"ApeItemHonestAboutItsSize",
                   [](auto& f, auto&) { apeTagged(f, 0), f.write("AlbumArt.jpg", kFile); }, std::pair{100, 100}},
        ChoiceCase{"HugeFrontThenAnother",
                   [](auto&, auto& t) { tagged(t, {{Type::FrontCover, claimsHuge()}, {Type::Other, kOther}}); },
                   std::pair{120, 90}},
        ChoiceCase{"HugePngThenFile",
                   [](auto& f, auto& t) {
                       tagged(t, {{Type::FrontCover, veltest::png(2049, 2048)}});
                       f.write("front.jpeg", kFile);
                   },
                   std::pair{140, 70}},
        ChoiceCase{"PngOfLongImageDataGivesItsRows",
                   [](auto&, auto& t) { tagged(t, {{Type::FrontCover, veltest::pngBomb(16, 16, 64)}}); },
                   std::pair{16, 16}},
        ChoiceCase{"NoMoreThanEightTried",
                   [](auto& f, auto& t) {
                       tagged(t, std::vector<veltest::TagPicture>(8, {Type::FrontCover, kFront.substr(0, 300)}));
                       f.write("cover.jpg", kFile);
                   },
                   std::nullopt},
        ChoiceCase{"TransparentPngBecomesJpeg",
                   [](auto&, auto& t) { tagged(t, {{Type::FrontCover, veltest::png(160, 80, true)}}); },
                   std::pair{160, 80}},
        ChoiceCase{"LargeScaledToTheArea",
                   [](auto&, auto& t) { tagged(t, {{Type::FrontCover, veltest::jpeg(500, 500)}}); },
                   std::pair{179, 179}},
        ChoiceCase{"CutPngAndOtherFormatsAreNoCover",
                   [](auto& f, auto& t) {
                       tagged(t, {{Type::FrontCover, veltest::png(100, 100).substr(0, 200)}, {Type::Other, "GIF89a"}});
                       f.write("cover.jpg", "<html>Not Found</html>");
                   },
                   std::nullopt},
        ChoiceCase{"NothingAtAll", [](auto&, auto&) {}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct BesideCase {
    const char* name;
    std::vector<std::string> files;
    std::vector<std::string> taken; // in order
};
void PrintTo(const BesideCase& c, std::ostream* os) { *os << c.name; }

class PictureFileNames : public ::testing::TestWithParam<BesideCase> {};

TEST_P(PictureFileNames, NamesInOrder) {
    TempFolder folder;
    for (const auto& name : GetParam().files) folder.write(name, "x");
    std::filesystem::create_directory(folder.file("cover.jpg")); // a folder is no picture
    std::vector<std::string> taken;
    for (const auto& path : velfetch::owncover::PicturesBeside(folder.file("track.mp3")))
        taken.push_back(std::filesystem::path(path).filename().string());
    EXPECT_EQ(taken, GetParam().taken);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PictureFileNames,
    ::testing::Values(
        BesideCase{"NameOrderBeforeExtensionOrder",
                   {"AlbumArtSmall.jpg", "albumart.jpg", "front.png", "folder.jpg", "cover.png", "cover.jpeg"},
                   {"cover.jpeg", "cover.png", "folder.jpg", "front.png", "albumart.jpg", "AlbumArtSmall.jpg"}},
        BesideCase{"AnyLetterCase", {"FOLDER.JPG", "Cover.Png", "ALBUMARTSMALL.jpeg"},
                   {"Cover.Png", "FOLDER.JPG", "ALBUMARTSMALL.jpeg"}},
        BesideCase{"OtherNamesAndExtensionsIgnored",
                   {"cover.gif", "covers.jpg", "back.jpg", "cover.jpg.part", "my cover.png", ".cover.jpg", "cover"},
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
