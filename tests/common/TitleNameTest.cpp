#include "TitleName.h"

#include <gtest/gtest.h>

using vel::GetTitleName;

struct TitleCase {
    std::u16string path;
    bool clean;
    std::u16string expected;
};

void PrintTo(const TitleCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(c.path) << (c.clean ? ", cleaned" : ", as it stands");
}

class TitleName : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleName, Result) {
    EXPECT_EQ(GetTitleName(GetParam().path, GetParam().clean), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TitleName,
    ::testing::Values(
        TitleCase{u"/m/Artist - Song [MP3].mp3", true, u"Artist - Song "},
        TitleCase{u"/m/Best CD音源 192kbps.mp3", true, u"Best  "},
        TitleCase{u"/m/Music Box.mp3", true, u"Music Box"},
        TitleCase{u"/m/musical.mp3", true, u"al"},
        TitleCase{u"/m/mumusicsic.mp3", true, u"music"},
        TitleCase{u"/m/[M[CD]P3].mp3", true, u"[MP3]"},
        TitleCase{u"/m/x.zip.mp3", true, u"x"},
        TitleCase{u"/m/a.b.mp3", false, u"a.b.mp3"},
        TitleCase{u"/m/a.b.mp3", true, u"a.b"},
        TitleCase{u"/m/noext", false, u"noext"},
        TitleCase{u"/m/noext", true, u"noext"},
        TitleCase{u"", false, u""},
        TitleCase{u"", true, u""},
        TitleCase{u"song.mp3", false, u"song.mp3"},
        TitleCase{u"/music/song.mp3", false, u"song.mp3"},
        TitleCase{u"/m/CS音源CD音源[シングル][アルバム]Instrumental.mp3", true, u""},
        TitleCase{u"/m/[cd] MUSIC.mp3", true, u"[cd] MUSIC"},
        TitleCase{u"/m/dir/", false, u""}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });
