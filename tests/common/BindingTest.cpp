#include "AnsiCodec.h"
#include "StubLibrary.h"
#include "VBMP3.h"

#include <gtest/gtest.h>

#include <string>

TEST(Binding, CallsReachTheLibraryWithRecordsInByteForm) {
    veltest::StubLibrary stub;
    vel::TagRecord tag;
    tag.Title = u"東京";
    tag.Artist = u"Foo";
    tag.TrackNo = 3;
    stub.setTag(tag);

    vel::TagRecord read;
    ASSERT_EQ(VBMP3::vbmp3_getFileTagInfoEX("/x y/a.mp3", read), 1);
    EXPECT_EQ(vel::CutAtNul(read.Title.str()).substr(0, 2), u"東京");
    EXPECT_EQ(read.TrackNo, 3);

    std::int32_t l = 0, r = 0;
    VBMP3::vbmp3_setVolume(30, 40);
    VBMP3::vbmp3_getVolume(l, r);
    EXPECT_EQ(l, 30);
    EXPECT_EQ(r, 40);

    vel::ShortTagRecord g;
    g.Genre = 17;
    stub.setGenreName(17, "Rock");
    VBMP3::vbmp3_getGenre(g);
    EXPECT_EQ(vel::CutAtNul(g.GenreName.str()), u"Rock");

    auto calls = stub.calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "getFileTagInfoEX /x y/a.mp3");
    EXPECT_EQ(calls[1], "setVolume 30 40");
}

TEST(Binding, FailedTagReadReturnsZero) {
    veltest::StubLibrary stub;
    stub.failTagRead();
    vel::TagRecord read;
    EXPECT_EQ(VBMP3::vbmp3_getFileTagInfoEX("/none.mp3", read), 0);
}

using BindingDeathTest = ::testing::Test;

// A missing library or operation is named, the fatal handler sees the message first.
TEST_F(BindingDeathTest, MissingLibraryOrOperationIsNamedAndExitsNonZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto exits = ::testing::ExitedWithCode(VBMP3::kMissingLibraryExitCode);
    EXPECT_EXIT(
        {
            VBMP3::setLibraryPath("/nonexistent/folder/libvbmp3.so");
            VBMP3::vbmp3_init();
        },
        exits, "/nonexistent/folder/libvbmp3.so");
    EXPECT_EXIT(
        {
            VBMP3::setLibraryPath("libc.so.6"); // no vbmp3_* operations at all
            VBMP3::vbmp3_free();
        },
        exits, "vbmp3_free");
    EXPECT_EXIT(
        {
            VBMP3::setFatalHandler([](const std::string& m) { fprintf(stderr, "HANDLER:%s\n", m.c_str()); });
            VBMP3::setLibraryPath("/nonexistent/libvbmp3.so");
            VBMP3::vbmp3_stop();
        },
        exits, "HANDLER:.*libvbmp3.so");
}
