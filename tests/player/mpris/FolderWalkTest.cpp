// Natural order of file names and the MP3 files either side of a track.
#include "mpris/FolderWalk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using velplay::naturalLess;

TEST(FolderWalk, NaturalOrder) {
    struct Row {
        const char16_t *before, *after;
    };
    for (const Row& r : {
             Row{u"2.mp3", u"10.mp3"},
             Row{u"01.mp3", u"02.mp3"},
             Row{u"09.mp3", u"10.mp3"},
             Row{u"01.mp3", u"1.mp3"},        // equal numbers: plain order decides, never a tie
             Row{u"a.mp3", u"B.mp3"},         // letter case does not count
             Row{u"A.mp3", u"a.mp3"},         // except to tell equals apart
             Row{u"Track 9.mp3", u"track 10.mp3"},
             Row{u"disc1 track12.mp3", u"disc2 track1.mp3"}, // the first number decides
             Row{u"x.mp3", u"x1.mp3"},
             Row{u"10.mp3", u"10a.mp3"},
             Row{u"1.mp3", u"a.mp3"},
             Row{u"99999999999999999999.mp3", u"100000000000000000000.mp3"}, // beyond 64 bits
             Row{u"\uFF12.mp3", u"\uFF11\uFF10.mp3"},                       // full-width digits
             Row{u"第2話.mp3", u"第10話.mp3"},
         }) {
        const QString a = QString::fromUtf16(r.before), b = QString::fromUtf16(r.after);
        SCOPED_TRACE((a + " < " + b).toStdString());
        EXPECT_TRUE(naturalLess(a, b));
        EXPECT_FALSE(naturalLess(b, a));
        EXPECT_FALSE(naturalLess(a, a));
    }
}

TEST(FolderWalk, NeighboursAreTheNearestMp3FilesEitherSide) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QDir d(tmp.path());
    for (const char* name : {"01.mp3", "02.MP3", "10.mp3", "notes.txt", ".03.mp3"}) {
        QFile f(d.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(d.mkdir("05.mp3")); // a folder, not a file

    struct Row {
        const char *track, *previous, *next;
    };
    for (const Row& r : {Row{"01.mp3", "", "02.MP3"}, Row{"02.MP3", "01.mp3", "10.mp3"}, Row{"10.mp3", "02.MP3", ""},
                         Row{"03.mp3", "02.MP3", "10.mp3"}}) { // a track no longer there keeps its place
        SCOPED_TRACE(r.track);
        const velplay::FolderNeighbours n = velplay::neighboursOf(r.track, velplay::mp3FilesIn(d.path()));
        EXPECT_EQ(n.previous, r.previous);
        EXPECT_EQ(n.next, r.next);
    }
}
