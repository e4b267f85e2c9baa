// Agreement with an independent tagger (python3-mutagen): it reads what we
// write, and we read what it writes.
#include "TagRecordBytes.h"
#include "TestFiles.h"
#include "vbmp3_abi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace vbmp3test;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

bool mutagenAvailable() {
    return std::system("/usr/bin/python3 -c 'import mutagen.id3' >/dev/null 2>&1") == 0;
}

std::string run(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buf[4096];
    size_t n;
    while (p && (n = std::fread(buf, 1, sizeof buf, p.get())) > 0) out.append(buf, n);
    return out;
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
        TagBytes rec = toRecord(c.fields);
        ASSERT_EQ(vbmp3_setTagInfoEX(path.c_str(), rec.data(), 1, 1), 1);
        EXPECT_EQ(run(std::string(kPython) + " " + dir.file("read.py").string() + " " + path), c.seen)
            << c.fields;
    }
}

TEST(TagPeer, WeReadWhatMutagenWrites) {
    if (!mutagenAvailable()) GTEST_SKIP() << "python3-mutagen is not installed";
    ScratchDir dir;
    writeAll(dir.file("write.py"), kWriteScript);
    const std::string path = dir.copy("cbr.mp3");
    const std::string cmd = std::string(kPython) + " " + dir.file("write.py").string() + " " + path +
                            " 'Peer Title' 'Peer Artist' 'Peer Album' 1999 'peer note' Jazz 4";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    TagBytes rec{};
    ASSERT_EQ(vbmp3_getFileTagInfoEX(path.c_str(), rec.data()), 1);
    EXPECT_EQ(fromRecord(rec),
              (TagFields{"Peer Title", "Peer Artist", "Peer Album", "1999", "peer note", 8, 4}));
    // Without a track number mutagen writes a zero byte: version 1.0 for us.
    const std::string again = dir.copy("cbr.mp3", "again.mp3");
    ASSERT_EQ(std::system((std::string(kPython) + " " + dir.file("write.py").string() + " " + again +
                           " T A B 2000 'c' Rock ''").c_str()),
              0);
    ASSERT_EQ(vbmp3_getFileTagInfoEX(again.c_str(), rec.data()), 1);
    EXPECT_EQ(fromRecord(rec), (TagFields{"T", "A", "B", "2000", "c", 17, -1}));
}
