// The main window's track road: caption, drops, fade-out before the search,
// the fetcher's hand-over, the store link and the tag editor.
#include "FetcherFolder.h"
#include "StubLibrary.h"
#include "cover/CoverSearch.h"
#include "frm_main.h"
#include "tags/frm_TagInput.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

class LoadTrackTest : public veltest::FetcherFolder {
protected:
    void SetUp() override {
        FetcherFolder::SetUp();
        form = std::make_unique<velplay::frm_main>();
        form->openUrl = [this](const QUrl& url) {
            urls.push_back(url);
            return true;
        };
        form->AsinFileName = folder + "/asin";
    }
    void TearDown() override {
        form->coverSearch().process().end();
        form.reset();
        FetcherFolder::TearDown();
    }

    void writeCover(const QString& path, QColor colour) {
        QImage img(160, 160, QImage::Format_RGB32);
        img.fill(colour);
        ASSERT_TRUE(img.save(path, "PNG"));
    }

    void setTag(const char16_t* artist, const char16_t* title) {
        vel::TagRecord tag;
        tag.Artist.setRaw(artist);
        tag.Title.setRaw(title);
        stub.setTag(tag);
    }

    void drop(QMimeData& data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->pic_View, &enter);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->pic_View, &event);
    }

    bool loaded(const QString& path) {
        const Calls calls = stub.calls();
        return std::find(calls.begin(), calls.end(), "open " + path.toStdString()) != calls.end();
    }

    veltest::StubLibrary stub;
    std::unique_ptr<velplay::frm_main> form;
    std::vector<QUrl> urls;
};

struct CaptionCase {
    const char16_t* artist;
    const char16_t* title;
    bool readable;
    const char* caption;
};

void PrintTo(const CaptionCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(std::u16string(c.artist)) << " - " << ::testing::PrintToString(std::u16string(c.title))
        << (c.readable ? "" : ", unreadable");
}

class CaptionTable : public LoadTrackTest, public ::testing::WithParamInterface<CaptionCase> {};

TEST_P(CaptionTable, ArtistDashTitleOrFileName) {
    setTag(GetParam().artist, GetParam().title);
    if (!GetParam().readable) stub.failTagRead();
    form->FileName = " /music/a.b song.mp3 ";
    form->LoadTrack();
    form->winId(); // the title as the window system shows it
    EXPECT_EQ(form->windowHandle()->title(), QString::fromUtf8(GetParam().caption));
    EXPECT_EQ(form->cmdPlay->text(), "PAUSE");
    const Calls calls = stub.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "getFileTagInfoEX /music/a.b song.mp3"), calls.end());
}

INSTANTIATE_TEST_SUITE_P(
    Tags, CaptionTable,
    ::testing::Values(CaptionCase{u"Foo", u"Bar", true, "Foo - Bar"},
                      CaptionCase{u"Foo", u"", true, "a.b song.mp3 "},
                      CaptionCase{u"Foo", u" ", true, "a.b song.mp3 "},
                      CaptionCase{u"", u"Bar", true, "a.b song.mp3 "},
                      CaptionCase{u" ", u"Bar", true, "a.b song.mp3 "},
                      CaptionCase{u"Foo", u"  ", true, "Foo -   "},
                      CaptionCase{u"Foo ", u"Bar  ", true, "Foo  - Bar  "},
                      CaptionCase{u"歌手", u"曲", true, "歌手 - 曲"},
                      CaptionCase{u"A[*]", u"[*]B", true, "A[*] - [*]B"},
                      CaptionCase{u"Foo", u"Bar", false, "a.b song.mp3 "}));

TEST_F(LoadTrackTest, DroppedFilesLoadOnlyTheFirstMp3) {
    QMimeData three;
    three.setUrls({QUrl::fromLocalFile("/m/x.Mp3"), QUrl::fromLocalFile("/m/y.mp3"), QUrl::fromLocalFile("/m/z.mp3")});
    drop(three);
    EXPECT_EQ(form->FileName, "/m/x.Mp3");
    const Calls calls = stub.calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(Calls(calls.begin(), calls.begin() + 3), Calls({"stop", "encodeStop", "stop"}));
    EXPECT_TRUE(loaded("/m/x.Mp3"));
    EXPECT_FALSE(loaded("/m/y.mp3"));

    stub.clearCalls();
    QMimeData wav;
    wav.setUrls({QUrl::fromLocalFile("/m/x.wav")});
    drop(wav);
    EXPECT_EQ(form->FileName, "/m/x.wav");
    EXPECT_TRUE(stub.calls().empty());

    QMimeData text;
    text.setText("/m/t.mp3");
    drop(text);
    EXPECT_EQ(form->FileName, "/m/x.wav");
    EXPECT_TRUE(stub.calls().empty());
}

TEST_F(LoadTrackTest, OldCoverFadesOutUnderNewCaptionBeforeSearchStarts) {
    writeCover(folder + "/temp.jpg", Qt::white);
    form->ShowCover();
    ASSERT_TRUE(form->ViewStatus);
    writeFetcher("exec sleep 30");
    setTag(u"Foo", u"Bar");
    std::vector<int> alphas;
    bool searchBeforeFade = false, captionLate = false;
    form->pic_View->setFrameHookForTesting([&](int a, const QImage&) {
        alphas.push_back(a);
        searchBeforeFade |= form->TimerImg->isActive();
        captionLate |= form->windowTitle() != "Foo - Bar";
    });
    form->FileName = tmp.filePath("b.mp3");
    form->LoadTrack();
    ASSERT_EQ(alphas.size(), 255u);
    EXPECT_EQ(alphas.back(), 1);
    EXPECT_FALSE(searchBeforeFade);
    EXPECT_FALSE(captionLate);
    EXPECT_TRUE(form->TimerImg->isActive());
    EXPECT_TRUE(form->ViewStatus); // still held until the new search ends

    // Without a cover on show there is no fade.
    form->ClearCover();
    alphas.clear();
    form->LoadTrack();
    EXPECT_TRUE(alphas.empty());
}

TEST_F(LoadTrackTest, FetcherGetsTrackAndItsCoverFadesIn) {
    writeFetcher(R"sh(d="$(dirname "$0")"
printf '%s\n' "$#" "$1" > "$d/args"
cp "$d/cover.png" "$d/temp.jpg"
exit 1)sh");
    writeCover(folder + "/cover.png", Qt::white);
    form->FileName = tmp.filePath("My Music/a b.mp3");
    form->LoadTrack();
    waitUntilStopped(*form->TimerImg);
    QFile args(folder + "/args");
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(args.readAll()), "1\n\"" + form->FileName + "\"\n");
    EXPECT_TRUE(form->ViewStatus);
    EXPECT_EQ(form->pic_View->canvas().pixelColor(180, 90), QColor(Qt::white));
}

TEST_F(LoadTrackTest, DoubleClickOpensProductOrStorePage) {
    EXPECT_EQ(form->pic_View->toolTip(), QString::fromUtf8("ダブルクリックで amazon.co.jp を開きます。"));
    form->ViewStatus = true;
    form->pic_View_DblClick(); // a cover on show without an identifier, no file or an empty one: nothing
    form->pic_View_DblClick();
    EXPECT_TRUE(urls.empty());
    QFile asin(form->AsinFileName);
    ASSERT_TRUE(asin.open(QIODevice::WriteOnly));
    asin.write("B000ABCDEF\r\n");
    asin.close();
    form->ViewStatus = false;
    form->pic_View_DblClick();
    form->ViewStatus = true;
    form->pic_View_DblClick();
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[0].toString(), "http://www.amazon.co.jp/exec/obidos/ASIN/plovtarnime-22/sim=noref");
    EXPECT_EQ(urls[1].toString(), "http://www.amazon.co.jp/exec/obidos/ASIN/B000ABCDEF/plovtarnime-22/sim=noref");
}

TEST_F(LoadTrackTest, TagEditorIsModalWhileStatusPollRuns) {
    form->FileName = tmp.filePath("t.mp3");
    form->show();
    // Each tick of the status poll looks from inside the editor's own event loop: once it is
    // the modal window, it stays open until the poll has ticked twice more, however slow the machine.
    QString seenFile;
    int ticksWhileOpen = -1;
    const auto closeEditor = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* open = qobject_cast<velplay::frm_TagInput*>(w)) open->reject();
    };
    QObject::connect(form->TimerStatus, &QTimer::timeout, [&] {
        if (auto* editor = qobject_cast<velplay::frm_TagInput*>(QApplication::activeModalWidget())) {
            if (++ticksWhileOpen == 0) seenFile = editor->parentWidget() == form.get() ? "owned" : "";
        }
        if (ticksWhileOpen >= 2) closeEditor();
    });
    QTimer ceiling; // a ceiling only: an editor never modal, or a poll that stopped, must not hang the run
    ceiling.setSingleShot(true);
    QObject::connect(&ceiling, &QTimer::timeout, closeEditor);
    ceiling.start(60000);
    form->TimerStatus->start();
    form->cmdNext->click();
    EXPECT_EQ(seenFile, "owned");
    EXPECT_GE(ticksWhileOpen, 2);
}

} // namespace
