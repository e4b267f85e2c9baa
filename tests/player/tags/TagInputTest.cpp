// The tag editor against the recording stand-in library.
#include "AnsiCodec.h"
#include "StubLibrary.h"
#include "desktop/Notice.h"
#include "tags/frm_TagInput.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

using velplay::frm_TagInput;

namespace {

std::string bytesAt(const vel::TagRecordBytes& b, std::size_t offset, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(b.data()) + offset, size);
}

int32_t intAt(const vel::TagRecordBytes& b, std::size_t offset) {
    return int32_t(uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16 |
                   uint32_t(b[offset + 3]) << 24);
}

class TagInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        track = dir.filePath("a song.mp3");
        QFile f(track);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        velplay::setNoticeHookForTesting([this](const velplay::Notice& n) { notices.push_back(n); });
    }
    void TearDown() override { velplay::setNoticeHookForTesting({}); }

    vel::TagRecord tag(int32_t genre, int32_t trackNo) {
        vel::TagRecord t;
        t.Title.setRaw(u"Bar  ");
        t.Artist.setRaw(u"Foo");
        t.Album.setRaw(u"Album");
        t.Year.setRaw(u"1999");
        t.Comment.setRaw(u"note");
        t.Genre = genre;
        t.TrackNo = trackNo;
        return t;
    }

    veltest::StubLibrary stub;
    QTemporaryDir dir;
    QString track;
    std::vector<velplay::Notice> notices;
};

TEST_F(TagInputTest, GenreListHas256NumberedTrimmedEntries) {
    stub.setGenreName(5, "  Funk  ");
    stub.setGenreName(255, "");
    stub.setGenreName(100, vel::toAnsi(u"演歌"));
    frm_TagInput dlg(track);
    ASSERT_EQ(dlg.cbGenre->count(), 256);
    EXPECT_EQ(dlg.cbGenre->itemText(0), "000 - Genre0");
    EXPECT_EQ(dlg.cbGenre->itemText(5), "005 - Funk");
    EXPECT_EQ(dlg.cbGenre->itemText(100), QString::fromUtf8("100 - 演歌"));
    EXPECT_EQ(dlg.cbGenre->itemText(255), "255 - ");
}

TEST_F(TagInputTest, UnreadableTagLeavesEverythingEmpty) {
    stub.failTagRead();
    frm_TagInput dlg(track);
    for (QLineEdit* e : {dlg.txtFileName, dlg.txtArtist, dlg.txtTrack, dlg.txtAlbum, dlg.txtYYYYMM, dlg.txtComment,
                         dlg.txtTrackNo})
        EXPECT_TRUE(e->text().isEmpty());
    EXPECT_EQ(dlg.cbGenre->currentIndex(), -1);
    EXPECT_FALSE(dlg.chkSelVer[0]->isChecked());
    EXPECT_FALSE(dlg.chkSelVer[1]->isChecked());
}

TEST_F(TagInputTest, LoadFillsFieldsUntrimmedAndReadsTrimmedPath) {
    stub.setTag(tag(17, 7));
    frm_TagInput dlg(QStringLiteral("  ") + track + QStringLiteral(" "));
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("タグ入力"));
    EXPECT_EQ(dlg.txtFileName->text(), "a song.mp3 ");
    EXPECT_TRUE(dlg.txtFileName->isReadOnly());
    EXPECT_EQ(dlg.txtTrack->text(), "Bar  ");
    EXPECT_EQ(dlg.txtArtist->text(), "Foo");
    EXPECT_EQ(dlg.txtAlbum->text(), "Album");
    EXPECT_EQ(dlg.txtYYYYMM->text(), "1999");
    EXPECT_EQ(dlg.txtComment->text(), "note");
    EXPECT_EQ(dlg.cbGenre->currentIndex(), 17);
    EXPECT_TRUE(dlg.chkSelVer[1]->isChecked());
    EXPECT_EQ(dlg.txtTrackNo->text(), "7");
    const auto calls = stub.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "getFileTagInfoEX " + track.toStdString());
}

struct GenreCase {
    int32_t genre;
    int selected;
};

void PrintTo(const GenreCase& c, std::ostream* os) { *os << "genre " << c.genre; }

class TagGenreLoad : public TagInputTest, public ::testing::WithParamInterface<GenreCase> {};

TEST_P(TagGenreLoad, SelectsListPositionOrNothing) {
    stub.setTag(tag(GetParam().genre, -1));
    frm_TagInput dlg(track);
    EXPECT_EQ(dlg.cbGenre->currentIndex(), GetParam().selected);
    EXPECT_TRUE(dlg.chkSelVer[0]->isChecked());
    EXPECT_TRUE(dlg.txtTrackNo->text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Genres, TagGenreLoad,
                         ::testing::Values(GenreCase{0, 0}, GenreCase{255, 255}, GenreCase{-1, -1},
                                           GenreCase{256, -1}, GenreCase{-7, -1}));

// Tab from the first field, as a keyboard user goes: the version pair is
// entered on its selected option (v1.0 when neither is), never on the other.
class TagTabOrder : public TagInputTest, public ::testing::WithParamInterface<std::optional<int32_t>> {};

TEST_P(TagTabOrder, TabVisitsFieldsAndTheSelectedVersionOnly) {
    if (GetParam()) stub.setTag(tag(1, *GetParam()));
    frm_TagInput dlg(track);
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg, 60000)); // a ceiling only
    EXPECT_EQ(dlg.focusWidget(), dlg.txtArtist);
    QRadioButton* const version = dlg.chkSelVer[GetParam() && *GetParam() != -1 ? 1 : 0];
    const std::vector<QWidget*> expected = {dlg.txtTrack, dlg.txtAlbum,  dlg.txtYYYYMM, dlg.txtComment,
                                            dlg.cbGenre,  dlg.cmdReg,    dlg.cmdCancel, version,
                                            dlg.txtTrackNo, dlg.txtFileName, dlg.txtArtist};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected[i]) << "Tab " << i + 1;
    }
    // Arrow keys move within the pair (and choose as they go once one is chosen).
    version->setFocus();
    QTest::keyClick(version, version == dlg.chkSelVer[0] ? Qt::Key_Down : Qt::Key_Up);
    QRadioButton* const other = dlg.chkSelVer[version == dlg.chkSelVer[0] ? 1 : 0];
    EXPECT_EQ(QApplication::focusWidget(), other);
    EXPECT_EQ(other->isChecked(), GetParam().has_value());
}

INSTANTIATE_TEST_SUITE_P(NoTagV10V11, TagTabOrder, ::testing::Values(std::nullopt, -1, 3));

struct TrackNoCase {
    std::optional<int> version; // nullopt: neither option chosen
    std::string text;
    int32_t written;
};
constexpr int32_t kRefused = INT32_MIN; // nothing written, a notice, the editor stays open

void PrintTo(const TrackNoCase& c, std::ostream* os) {
    *os << "\"" << c.text.substr(0, 20) << "\" in "
        << (c.version ? "version " + std::to_string(*c.version) : std::string("no tag"));
}

class TagTrackNoSave : public TagInputTest, public ::testing::WithParamInterface<TrackNoCase> {};

TEST_P(TagTrackNoSave, WritesTrackNumberByVersionRuleOrRefusesWhatOneByteCannotHold) {
    const TrackNoCase& c = GetParam();
    stub.setTag(tag(1, -1));
    frm_TagInput dlg(track);
    dlg.show();
    if (c.version) {
        dlg.chkSelVer[std::size_t(*c.version)]->setChecked(true);
    } else {
        dlg.chkSelVer[0]->setAutoExclusive(false);
        dlg.chkSelVer[0]->setChecked(false);
    }
    dlg.txtTrackNo->setText(QString::fromStdString(c.text));
    dlg.cmdReg->click();
    vel::TagRecordBytes written{};
    EXPECT_EQ(stub.writtenTag(written) == 0 ? kRefused : intAt(written, vel::offsets::TrackNo), c.written);
    EXPECT_EQ(notices.size(), c.written == kRefused ? 1u : 0u);
    EXPECT_EQ(dlg.isVisible(), c.written == kRefused);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TagTrackNoSave,
    ::testing::Values(TrackNoCase{0, "5", -1}, TrackNoCase{1, "", -1}, TrackNoCase{1, "   ", -1},
                      TrackNoCase{std::nullopt, "9", -1}, TrackNoCase{1, "abc", 0}, TrackNoCase{1, "2.5", 2},
                      TrackNoCase{1, "3.5", 4}, TrackNoCase{1, " 12xyz", 12}, TrackNoCase{1, "+7", 7},
                      TrackNoCase{1, "-0.4", 0}, TrackNoCase{1, ".5", 0}, TrackNoCase{1, "255", 255},
                      TrackNoCase{1, "0", 0}, TrackNoCase{1, "１２", 0}, TrackNoCase{1, "256", kRefused},
                      TrackNoCase{1, "255.5", kRefused}, TrackNoCase{1, "-1", kRefused},
                      TrackNoCase{1, "-0.6", kRefused}, TrackNoCase{1, "99999999999", kRefused},
                      TrackNoCase{1, "1" + std::string(400, '0'), kRefused}));

TEST_F(TagInputTest, SaveWritesBlankFilledFieldsAndSelection) {
    stub.failTagRead();
    // The file must exist under the name as held; the library gets it trimmed.
    QFile spaced(track + " ");
    ASSERT_TRUE(spaced.open(QIODevice::WriteOnly));
    frm_TagInput dlg(track + " ");
    dlg.txtTrack->setText("T");
    dlg.txtArtist->setText(QString::fromUtf8("歌手"));
    dlg.txtYYYYMM->setText("99");
    dlg.cbGenre->setCurrentIndex(17);
    dlg.cmdReg->click();
    vel::TagRecordBytes w{};
    ASSERT_EQ(stub.writtenTag(w), 1);
    EXPECT_EQ(stub.calls().back(), "setTagInfoEX " + track.toStdString() + " 1 1");
    EXPECT_EQ(bytesAt(w, vel::offsets::Title, 128), "T" + std::string(127, ' '));
    EXPECT_EQ(bytesAt(w, vel::offsets::Artist, 4), vel::toAnsi(u"歌手"));
    EXPECT_EQ(bytesAt(w, vel::offsets::Artist + 4, 124), std::string(124, ' '));
    EXPECT_EQ(bytesAt(w, vel::offsets::Year, 5), "99   ");
    EXPECT_EQ(bytesAt(w, vel::offsets::Album, 128), std::string(128, ' '));
    EXPECT_EQ(intAt(w, vel::offsets::Genre), 17);
    EXPECT_EQ(bytesAt(w, vel::offsets::GenreName, 128), std::string(128, '\0'));
    EXPECT_EQ(intAt(w, vel::offsets::TrackNo), -1);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(TagInputTest, GenreIsMinusOneWithoutListEntry) {
    for (bool typed : {false, true}) {
        stub.setTag(tag(typed ? 3 : -1, -1));
        frm_TagInput dlg(track);
        if (typed) dlg.cbGenre->setEditText("my own genre");
        dlg.cmdReg->click();
        vel::TagRecordBytes w{};
        stub.writtenTag(w);
        EXPECT_EQ(intAt(w, vel::offsets::Genre), -1) << "typed " << typed;
    }
}

TEST_F(TagInputTest, FailedWriteIsReportedAndDialogStaysOpen) {
    stub.setTag(tag(1, 1));
    stub.setSetTagResult(0);
    frm_TagInput dlg(track);
    dlg.show();
    dlg.cmdReg->click();
    vel::TagRecordBytes w{};
    EXPECT_EQ(stub.writtenTag(w), 1);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].icon, velplay::NoticeIcon::Warning);
    EXPECT_TRUE(dlg.isVisible());
    // A retry that succeeds closes it.
    stub.setSetTagResult(1);
    dlg.cmdReg->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(TagInputTest, MissingFileOrCancelWritesNothing) {
    stub.setTag(tag(1, 1));
    for (const QString& path : {dir.filePath("gone.mp3"), QString{}}) {
        frm_TagInput dlg(path);
        dlg.show();
        dlg.cmdReg->click();
        EXPECT_TRUE(dlg.isVisible()) << path.toStdString();
    }
    {
        frm_TagInput dlg(track);
        dlg.show();
        dlg.cmdCancel->click();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    vel::TagRecordBytes w{};
    EXPECT_EQ(stub.writtenTag(w), 0);
    EXPECT_TRUE(notices.empty());
}

} // namespace
