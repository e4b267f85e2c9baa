// Agreement with an independent tagger (python3-mutagen): it reads what we
// write, and we read what it writes.
#include "TagRecordBytes.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

using namespace vbmp3test;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

bool mutagenAvailable() {
    return std::system("/usr/bin/python3 -c 'import mutagen.id3' >/dev/null 2>&1") == 0;
}

// Field values as mutagen's ID3v1 parser sees them, as latin-1 bytes.
const char* kReadScript = R"(
import sys
from mutagen.id3._id3v1 import ParseID3v1
data = open(sys.argv[1], 'rb').read()[-128:]
f = ParseID3v1(data)
def text(k):
    return str(f[k]) if k in f else ''
genre = f['TCON'].genres[0] if 'TCON' in f else ''
print('|'.join([text('TIT2'), text('TPE1'), text('TALB'), text('TDRC'), text('COMM'),
                genre, text('TRCK')]))
)";

// mutagen builds an ID3v1 tag from the given values; it is appended to the file.
const char* kWriteScript = R"(
import sys
from mutagen.id3 import TIT2, TPE1, TALB, TDRC, COMM, TCON, TRCK
from mutagen.id3._id3v1 import MakeID3v1
frames = {'TIT2': TIT2(encoding=0, text=sys.argv[2]), 'TPE1': TPE1(encoding=0, text=sys.argv[3]),
          'TALB': TALB(encoding=0, text=sys.argv[4]), 'TDRC': TDRC(encoding=0, text=sys.argv[5]),
          'COMM': COMM(encoding=0, lang='eng', desc='', text=sys.argv[6]),
          'TCON': TCON(encoding=0, text=sys.argv[7])}
if sys.argv[8]:
    frames['TRCK'] = TRCK(encoding=0, text=sys.argv[8])
with open(sys.argv[1], 'ab') as f:
    f.write(MakeID3v1(frames))
)";

} // namespace

TEST(TagPeer, MutagenReadsWhatWeWrite) {
    if (!mutagenAvailable()) GTEST_SKIP() << "python3-mutagen is not installed";
    ScratchDir dir;
    writeAll(dir.file("read.py"), kReadScript);
    const struct {
        TagFields fields;
        std::string seen;
    } cases[] = {
        // mutagen reads at most 29 comment bytes and the byte after as a track
        // number, so the version 1.0 case keeps its comment shorter.
        {{"Song", "Band", "Record", "1984", "a v1.0 comment", 13, -1},
         "Song|Band|Record|1984|a v1.0 comment|Pop|\n"},
        {{"Song 3", "Band", "Record", "1984", "a comment of 28 characters!!", 145, 0},
         "Song 3|Band|Record|1984|a comment of 28 characters!!|Anime|\n"},
        {{"Song 2", "Band", "Record", "2024", "short", 17, 5}, "Song 2|Band|Record|2024|short|Rock|5\n"},
        {{"No genre", "", "", "", "", -1, 200}, "No genre||||||200\n"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.copy("cbr.mp3");
        ASSERT_EQ(writeTag(path, c.fields), 1);
        EXPECT_EQ(runCommand(std::string(kPython) + " " + dir.file("read.py").string() + " " + path), c.seen)
            << c.fields;
    }
}

TEST(TagPeer, WeReadWhatMutagenWrites) {
    if (!mutagenAvailable()) GTEST_SKIP() << "python3-mutagen is not installed";
    ScratchDir dir;
    writeAll(dir.file("write.py"), kWriteScript);
    const struct {
        const char* args;
        TagFields fields;
    } cases[] = {
        {"'Peer Title' 'Peer Artist' 'Peer Album' 1999 'peer note' Jazz 4",
         {"Peer Title", "Peer Artist", "Peer Album", "1999", "peer note", 8, 4}},
        // Without a track number mutagen writes a zero byte: version 1.0 for us.
        {"T A B 2000 'c' Rock ''", {"T", "A", "B", "2000", "c", 17, -1}},
    };
    for (const auto& c : cases) {
        const std::string path = dir.copy("cbr.mp3");
        const std::string cmd =
            std::string(kPython) + " " + dir.file("write.py").string() + " " + path + " " + c.args;
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(readTag(path), c.fields) << c.args;
    }
}

// ID3v2 (2.2 to 2.4) and APEv2 tags from assemble_fixtures.py, read when the
// file has no ID3v1 tag: text in CP932 ('?' for what CP932 lacks, cut at a
// character boundary), the year's digits, the ID3v1 genre number, the track
// number before "/". A file with an ID3v1 tag reads from that one.
TEST(TagPeer, WeReadMutagensId3v2AndApeTagsWhenThereIsNoId3v1Tag) {
    std::string a63; // 63 x "あ": the 64th would end past byte 127
    for (int i = 0; i < 63; ++i) a63 += "\x82\xa0";
    const struct {
        const char* file;
        std::optional<TagFields> fields;
    } cases[] = {
        {"tag_v23_utf16.mp3", TagFields{"\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x8b\xc8\x96\xbc",
                                        "\x83\x65\x83\x58\x83\x67", "Album", "2005",
                                        "\x83\x81\x83\x82", 17, 3}},
        {"tag_v24_utf8.mp3", TagFields{"\x96\xe9\x82\xcc\x89\xcc", "\x89\xcc\x8e\xe8",
                                       "\x83\x41\x83\x8b\x83\x6f\x83\x80", "2024", "", 17, 7}},
        {"tag_cp932_lacks.mp3",
         TagFields{"Caf? ? \x90\xe1", "\x82\x60\x82\x92\x82\x94\x82\x89\x82\x93\x82\x94", a63, "",
                   "the comment", -1, -1}},
        // Latin-1 frames: CP932 bytes from a legacy tagger, and real Latin-1.
        {"tag_v22_latin1.mp3", TagFields{"\x90\xcc\x82\xcc\x8b\xc8", "Beyonc?", "", "1987", "", 8, 12}},
        {"tag_ape.mp3", TagFields{"Ape Title", "Ape Artist", "Ape Album", "1999", "ape note", 8, 2}},
        {"tag_v1_and_v2.mp3", TagFields{"From ID3v1", "", "", "", "", -1, -1}},
        {"tag_picture_only.mp3", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(readTag(fixture(c.file)), c.fields) << c.file;
}

TEST(TagPeer, SavingAppendsAnId3v1TagAndLeavesId3v2AndApeTagsAlone) {
    ScratchDir dir;
    for (const char* file : {"tag_v23_utf16.mp3", "tag_ape.mp3"}) {
        const std::string path = dir.copy(file);
        const std::string before = readAll(path);
        const TagFields saved{"Saved", "Artist", "", "2001", "", 17, 3};
        ASSERT_EQ(writeTag(path, saved), 1) << file;
        const std::string after = readAll(path);
        EXPECT_EQ(after.size(), before.size() + 128) << file;
        EXPECT_TRUE(after.compare(0, before.size(), before) == 0) << file << ": tag or audio bytes changed";
        EXPECT_EQ(readTag(path), saved) << file;
    }
}
