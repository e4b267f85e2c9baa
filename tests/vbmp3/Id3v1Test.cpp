// Reading and writing ID3v1 tags through the library's C interface.
#include "Id3v1.h"
#include "OtherTags.h"
#include "TagRecordBytes.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace vbmp3test;

namespace {

// CP932: "テスト" and "日本語の曲名".
const std::string kTesuto = "\x83\x65\x83\x58\x83\x67";
const std::string kJapaneseTitle = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x8b\xc8\x96\xbc";

std::string raw128(const std::string& path) {
    const std::string all = readAll(path);
    return all.substr(all.size() - 128);
}

} // namespace

TEST(Id3v1Fit, CutsAtTheWidthButNeverInsideADoubleByteCharacter) {
    struct Case {
        std::string in;
        std::size_t width;
        std::string out;
    };
    const std::string thirtyOne(31, 'a');
    const Case cases[] = {
        {"Hello" + std::string(123, ' '), 30, "Hello"},           // blank padding dropped
        {"  lead and trail  ", 30, "  lead and trail"},           // leading blanks kept
        {thirtyOne, 30, std::string(30, 'a')},                    // cut at the width
        {std::string(29, 'a') + "\x83\x65", 30, std::string(29, 'a')}, // would split テ
        {std::string(28, 'a') + "\x83\x65", 30, std::string(28, 'a') + "\x83\x65"},
        {std::string(15, 'x') + kTesuto + kTesuto + kTesuto, 30,
         std::string(15, 'x') + kTesuto + kTesuto + "\x83\x65"},     // 15 + 14 = 29, next would be 31
        {"a" + std::string(14, '\x82') + "\xa0", 30, "a" + std::string(14, '\x82') + "\xa0"},
        {"2024 ", 4, "2024"},
        {"12345", 4, "1234"},
        {"\xE0\x40\xFC\x40x", 4, "\xE0\x40\xFC\x40"},              // lead bytes at the range edges
        {"ab\xE0\x40", 3, "ab"},
        {"abc\xA0\xA1", 4, "abc\xA0"},                             // half-width kana are single bytes
        {"", 30, ""},
        {"     ", 30, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(vbmp3::Id3v1::fit(c.in, c.width), c.out) << c.in;
}

TEST(OtherTags, GenreAndTrackNumbersFromTheirTexts) {
    const std::pair<const char*, int> genres[] = {
        {"Rock", 17}, {"rock", 17}, {" Jazz ", 8}, {"17", 17}, {"(17)", 17}, {"(17)Rock", 17},
        {"(191)", 191}, {"(192)", -1}, {"(RX)", -1}, {"Vaporwave", -1}, {"2 Unlimited", -1}, {"", -1}};
    for (const auto& [text, number] : genres) EXPECT_EQ(vbmp3::OtherTags::genre(text), number) << text;
    const std::pair<const char*, int> tracks[] = {
        {"3/12", 3}, {" 7 ", 7}, {"03 / 12", 3}, {"0", 0}, {"300", 300}, {"/12", -1},
        {"A1", -1}, {"3a", -1}, {"12345678", -1}, {"", -1}};
    for (const auto& [text, number] : tracks) EXPECT_EQ(vbmp3::OtherTags::track(text), number) << text;
}

class TagRoundTrip : public ::testing::TestWithParam<TagFields> {};

TEST_P(TagRoundTrip, WhatIsWrittenReadsBackAndTheAudioIsUntouched) {
    ScratchDir dir;
    for (const char* source : {"cbr.mp3", "id3v2_v1.mp3"}) { // appended, then replaced
        SCOPED_TRACE(source);
        const std::string path = dir.copy(source);
        const std::string before = readAll(path);
        const std::size_t audio = before.size() - (std::string(source) == "cbr.mp3" ? 0 : 128);

        ASSERT_EQ(writeTag(path, GetParam()), 1);
        const std::string after = readAll(path);
        ASSERT_EQ(after.size(), audio + 128);
        EXPECT_TRUE(after.compare(0, audio, before, 0, audio) == 0) << "audio bytes changed";

        const auto back = readTag(path);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, GetParam());

        // Writing again replaces the tag instead of adding a second one.
        ASSERT_EQ(writeTag(path, GetParam()), 1);
        EXPECT_EQ(readAll(path), after);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, TagRoundTrip,
    ::testing::Values(
        TagFields{"Title", "Artist", "Album", "1999", "v1.0 comment of thirty chars!!", 17, -1},
        TagFields{"Title", "Artist", "Album", "2024", "v1.1 comment, 28 chars max!!", 255 - 1, 12},
        TagFields{"T", "A", "", "", "", -1, 255},
        TagFields{kJapaneseTitle, kTesuto, kTesuto + " album", "2005", kTesuto, 146, 1},
        TagFields{"", "", "", "", "", 0, -1}));

TEST(TagWrite, CutsLongFieldsToTheirWidths) {
    ScratchDir dir;
    const std::string path = dir.copy("cbr.mp3");
    const std::string longText(100, 'L');
    ASSERT_EQ(writeTag(path, {longText, longText, longText, "20245", longText, 1, 3}), 1);
    const auto back = readTag(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, (TagFields{std::string(30, 'L'), std::string(30, 'L'), std::string(30, 'L'),
                                "2024", std::string(28, 'L'), 1, 3}));
    const std::string raw = raw128(path);
    EXPECT_EQ(raw[125], '\0');
    EXPECT_EQ(raw[126], '\x03');
}

TEST(TagWrite, PadsWithNulAndWritesGenreNoneAs255) {
    ScratchDir dir;
    const std::string path = dir.copy("cbr.mp3");
    ASSERT_EQ(writeTag(path, {"Ab", "", "", "99", "c", -1, -1}), 1);
    const std::string raw = raw128(path);
    EXPECT_EQ(raw.substr(0, 3), "TAG");
    EXPECT_EQ(raw.substr(3, 30), std::string("Ab") + std::string(28, '\0'));
    EXPECT_EQ(raw.substr(93, 4), std::string("99\0\0", 4));
    EXPECT_EQ(raw.substr(97, 30), std::string("c") + std::string(29, '\0'));
    EXPECT_EQ(static_cast<unsigned char>(raw[127]), 255);
}

TEST(TagWrite, RefusesValuesItCannotStoreAndLeavesTheFileAlone) {
    ScratchDir dir;
    const std::string path = dir.copy("id3v2_v1.mp3");
    const std::string before = readAll(path);
    const TagFields bad[] = {
        {"t", "a", "", "", "", 256, -1}, {"t", "a", "", "", "", -2, -1},
        {"t", "a", "", "", "", 1, 256},  {"t", "a", "", "", "", 1, -2},
        {"t", "a", "", "", "", 1, 100000},
    };
    for (const TagFields& f : bad) {
        EXPECT_EQ(writeTag(path, f), 0) << f;
        EXPECT_EQ(readAll(path), before);
    }
}

TEST(TagWrite, FailsOnFilesThatCannotBeWritten) {
    ScratchDir dir;
    // Missing, a folder, and a file marked read-only (refused even for root).
    fs::create_directory(dir.file("folder.mp3"));
    const std::string readOnly = dir.copy("id3v2_v1.mp3", "ro.mp3");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = readAll(readOnly);
    const auto modified = fs::last_write_time(readOnly);

    const TagFields tag{"x", "y", "", "", "", 1, 1};
    EXPECT_EQ(writeTag(dir.file("missing.mp3").string(), tag), 0);
    EXPECT_FALSE(fs::exists(dir.file("missing.mp3")));
    EXPECT_EQ(writeTag(dir.file("folder.mp3").string(), tag), 0);
    EXPECT_EQ(writeTag(readOnly, tag), 0);
    EXPECT_EQ(readAll(readOnly), before);
    EXPECT_EQ(fs::last_write_time(readOnly), modified);
    EXPECT_EQ(vbmp3_setTagInfoEX(nullptr, nullptr, 1, 1), 0);
}

TEST(TagWrite, KeepsTheFileItselfAndItsPermissions) {
    ScratchDir dir;
    const std::string path = dir.copy("cbr.mp3");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_hard_link(path, dir.file("link.mp3"));
    ASSERT_EQ(writeTag(path, {"Linked", "", "", "", "", 1, -1}), 1);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    const auto viaLink = readTag(dir.file("link.mp3").string());
    ASSERT_TRUE(viaLink);
    EXPECT_EQ(viaLink->title, "Linked");
}

TEST(TagRead, ReadsBothVersionsAndTheGenreNone) {
    ScratchDir dir;
    struct Case {
        std::uint8_t b125, b126, genre;
        std::string comment;
        int track, genreNo;
        std::string genreName;
    };
    const Case cases[] = {
        {0, 9, 8, "a comment filling 28 bytes..", 9, 8, "Jazz"},   // v1.1
        {'x', 'y', 255, "a comment filling 28 bytes..", -1, -1, ""}, // v1.0, 30 characters
        {0, 0, 0, "a comment filling 28 bytes..", -1, 0, "Blues"},  // v1.0 ending in NULs
        {'x', 0, 191, "short", -1, 191, "Psybient"},                // v1.0, byte 125 is text
    };
    for (const Case& c : cases) {
        std::string tag = "TAG";
        auto field = [&](std::string s, std::size_t w) { s.resize(w, '\0'); tag += s; };
        field("Title  ", 30); // trailing blanks are the file's own and come back
        field("Artist", 30);
        field(kTesuto, 30);
        field("1987", 4);
        std::string raw30 = c.comment.substr(0, 28);
        raw30.resize(28, '\0');
        raw30 += static_cast<char>(c.b125);
        raw30 += static_cast<char>(c.b126);
        tag += raw30;
        tag += static_cast<char>(c.genre);
        ASSERT_EQ(tag.size(), 128u);
        const auto path = dir.file("t.mp3");
        writeAll(path, readAll(fixture("cbr.mp3")) + tag);

        TagBytes b;
        b.fill(0xAA);
        ASSERT_EQ(vbmp3_getFileTagInfoEX(path.c_str(), b.data()), 1);
        const TagFields f = fromRecord(b);
        std::string expectComment = raw30.substr(0, c.track == -1 ? 30 : 28);
        expectComment = expectComment.substr(0, expectComment.find('\0'));
        EXPECT_EQ(f, (TagFields{"Title  ", "Artist", kTesuto, "1987", expectComment, c.genreNo,
                                c.track}));
        EXPECT_EQ(text(b, 524, 128), c.genreName);
    }
}

TEST(TagRead, ReturnsZeroWithoutATag) {
    ScratchDir dir;
    writeAll(dir.file("tiny.mp3"), "TAG");
    fs::create_directory(dir.file("folder.mp3"));
    TagBytes b;
    b.fill(0xAA);
    for (const std::string& p : {fixture("cbr.mp3"), dir.file("missing.mp3").string(),
                                 dir.file("tiny.mp3").string(), dir.file("folder.mp3").string()}) {
        EXPECT_EQ(vbmp3_getFileTagInfoEX(p.c_str(), b.data()), 0) << p;
        EXPECT_EQ(b[0], 0xAA); // record left alone
    }
    EXPECT_EQ(vbmp3_getFileTagInfoEX(nullptr, b.data()), 0);
}

TEST(TagRead, ReadsTheTagBehindAnId3v2Header) {
    const auto tag = readTag(fixture("id3v2_v1.mp3"));
    ASSERT_TRUE(tag);
    EXPECT_EQ(*tag, (TagFields{"Id3 Title", "Id3 Artist", "Id3 Album", "2001", "note", 17, 7}));
}

// Refusals that come from the system rather than from the file's mode. They
// need root (an immutable file, a read-only or full file system) and are
// skipped where the machine does not allow them.
namespace {

bool sh(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A small tmpfs mounted for one test, unmounted at the end.
class TinyFs {
public:
    explicit TinyFs(const fs::path& at, const char* size) : at_(at) {
        fs::create_directories(at_);
        mounted_ = sh("mount -t tmpfs -o size=" + std::string(size) + " tmpfs '" + at_.string() + "'");
    }
    ~TinyFs() {
        if (mounted_) sh("umount '" + at_.string() + "'");
    }
    bool mounted() const { return mounted_; }

private:
    fs::path at_;
    bool mounted_ = false;
};

} // namespace

TEST(TagWriteRefused, ImmutableFile) {
    ScratchDir dir;
    const std::string path = dir.copy("id3v2_v1.mp3");
    const std::string before = readAll(path);
    if (!sh("chattr +i '" + path + "'")) GTEST_SKIP() << "chattr +i is not allowed here";
    const int rc = writeTag(path, {"x", "y", "", "", "", 1, 1});
    sh("chattr -i '" + path + "'");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readAll(path), before);
}

TEST(TagWriteRefused, ReadOnlyFileSystem) {
    ScratchDir dir;
    TinyFs tmpfs(dir.file("mnt"), "1m");
    if (!tmpfs.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    const std::string path = dir.file("mnt/t.mp3").string();
    fs::copy_file(fixture("id3v2_v1.mp3"), path);
    const std::string before = readAll(path);
    ASSERT_TRUE(sh("mount -o remount,ro '" + dir.file("mnt").string() + "'"));
    EXPECT_EQ(writeTag(path, {"x", "y", "", "", "", 1, 1}), 0);
    EXPECT_EQ(readAll(path), before);
}

TEST(TagWriteRefused, FullFileSystemLeavesNoHalfTag) {
    ScratchDir dir;
    TinyFs tmpfs(dir.file("mnt"), "64k");
    if (!tmpfs.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    // Audio that ends on a page boundary, so that the appended tag needs a new
    // page; then fill the file system to the last byte.
    const std::string path = dir.file("mnt/t.mp3").string();
    const std::string audio = readAll(fixture("cbr.mp3")).substr(0, 8192);
    writeAll(path, audio);
    {
        std::ofstream filler(dir.file("mnt/filler"), std::ios::binary);
        const std::string block(4096, 'f');
        for (int i = 0; i < 64 && filler.write(block.data(), block.size()); ++i) filler.flush();
    }
    EXPECT_EQ(writeTag(path, {"x", "y", "", "", "", 1, 1}), 0);
    EXPECT_EQ(readAll(path), audio);
}
