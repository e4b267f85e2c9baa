// PLAY/PAUSE/STOP, the 100 ms poll, the progress bar and seeking.
#include "PlayerFixture.h"
#include "ProgressBox.h"

#include <QPushButton>
#include <QTest>

#include <tuple>

using veltest::Calls;
using veltest::PlayerFixture;

namespace {

enum class Event { Play, Stop, Tick, BarPress };

struct Row {
    Event event;
    int stateBefore;
    int openResult;
    const char* captionBefore;
    Calls calls;
    const char* captionAfter;
};

void PrintTo(const Row& r, std::ostream* os) {
    static const char* const events[] = {"Play", "Stop", "Tick", "BarPress"};
    *os << events[int(r.event)] << " in state " << r.stateBefore << ", open gives " << r.openResult << ", caption "
        << r.captionBefore;
}

class TransportTable : public PlayerFixture, public ::testing::WithParamInterface<Row> {};

} // namespace

TEST_P(TransportTable, CallsAndCaption) {
    const Row& r = GetParam();
    start();
    form->FileName = QStringLiteral("  /m/t.mp3 ");
    form->CngVol = 6;
    stub.setOpen(r.openResult, 840);
    stub.setState(r.stateBefore, 10);
    form->cmdPlay->setText(QString::fromLatin1(r.captionBefore));
    switch (r.event) {
    case Event::Play: form->cmdPlay_Click(); break;
    case Event::Stop: form->cmdStop_Click(); break;
    case Event::Tick: form->TimerStatus_Timer(); break;
    case Event::BarPress: form->PicStatus_MouseDown(Qt::RightButton, Qt::ShiftModifier, 60, 3); break;
    }
    EXPECT_EQ(stub.calls(), r.calls);
    EXPECT_EQ(form->cmdPlay->text(), QString::fromLatin1(r.captionAfter));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TransportTable,
    ::testing::Values(
        Row{Event::Play, 2, 1, "PLAY", {"restart"}, "PAUSE"},
        Row{Event::Play, 1, 1, "PAUSE", {"pause"}, "PLAY"},
        Row{Event::Play, 0, 1, "PLAY", {"stop", "open /m/t.mp3", "play"}, "PAUSE"},
        Row{Event::Play, 0, 0, "PAUSE", {"stop", "open /m/t.mp3"}, "PAUSE"},
        Row{Event::Play, 0, 0, "PLAY", {"stop", "open /m/t.mp3"}, "PLAY"},
        Row{Event::Play, 7, 1, "PLAY", {"stop", "open /m/t.mp3", "play"}, "PAUSE"}, // unknown state: as stopped
        Row{Event::Stop, 0, 1, "PLAY", {"stop", "encodeStop"}, "PLAY"},
        Row{Event::Stop, 1, 1, "PAUSE", {"stop", "encodeStop"}, "PLAY"},
        Row{Event::Stop, 2, 1, "PLAY", {"stop", "encodeStop"}, "PLAY"},
        Row{Event::Tick, 0, 1, "PAUSE", {}, "PLAY"},
        Row{Event::Tick, 1, 1, "PAUSE", {}, "PAUSE"},
        Row{Event::Tick, 2, 1, "PLAY", {}, "PLAY"},
        Row{Event::BarPress, 1, 1, "PAUSE", {"seek 10"}, "PAUSE"},
        Row{Event::BarPress, 2, 1, "PLAY", {"seek 10"}, "PLAY"},
        Row{Event::BarPress, 7, 1, "PLAY", {"seek 10"}, "PLAY"},
        Row{Event::BarPress, 0, 1, "PLAY", {}, "PLAY"}));

TEST_F(PlayerFixture, PlayPauseResumeThenStopAndReplay) {
    start();
    form->FileName = QStringLiteral("/m/t.mp3");
    form->cmdPlay->click();
    EXPECT_EQ(form->cmdPlay->text(), "PAUSE");
    form->cmdPlay->click();
    EXPECT_EQ(form->cmdPlay->text(), "PLAY");
    form->cmdPlay->click();
    EXPECT_EQ(form->cmdPlay->text(), "PAUSE");
    form->cmdPlay->click(); // paused
    form->cmdStop->click();
    form->cmdPlay->click();
    EXPECT_EQ(stub.calls(), (Calls{"stop", "open /m/t.mp3", "play", "pause", "restart", "pause", "stop", "encodeStop",
                                   "stop", "open /m/t.mp3", "play"}));
}

TEST_F(PlayerFixture, EndOfTrackTurnsCaptionBackAndPlayReopens) {
    start(QStringLiteral("/m/t.mp3"));
    EXPECT_EQ(form->cmdPlay->text(), "PAUSE");
    stub.setState(0, 200);
    // The window's own 100 ms poll notices the end, however long it takes to come round.
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->cmdPlay->text() == "PLAY"; }, 60000));
    stub.clearCalls();
    form->cmdPlay->click();
    EXPECT_EQ(stub.calls(), (Calls{"stop", "open /m/t.mp3", "play"}));
}

// Inner width 5460 twips divided by the track length, to nearest, halves to even.
class ScaleRounding : public PlayerFixture, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(ScaleRounding, CngVol) {
    start();
    ASSERT_EQ(form->PicStatus->innerWidthTwips(), 5460);
    stub.setOpen(1, GetParam().first);
    form->cmdPlay_Click();
    EXPECT_EQ(form->CngVol, GetParam().second);
    EXPECT_EQ(form->cmdPlay->text(), "PAUSE");
}

INSTANTIATE_TEST_SUITE_P(Lengths, ScaleRounding,
                         ::testing::Values(std::pair{840, 6},    // 6.5
                                           std::pair{728, 8},    // 7.5
                                           std::pair{1680, 3},   // 3.25
                                           std::pair{5460, 1},   // 1
                                           std::pair{11000, 0},  // below one half
                                           std::pair{0, 0},      // no length: no scale
                                           std::pair{-5, 0}));

// Scale, press in twips, the second sought (-1: none).
class SeekRounding : public PlayerFixture, public ::testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(SeekRounding, PressSeeksToNearestHalvesToEvenAndNowhereWithoutScale) {
    const auto [scale, twips, second] = GetParam();
    start();
    form->CngVol = scale;
    stub.setState(1);
    form->PicStatus_MouseDown(Qt::LeftButton, Qt::NoModifier, twips, 0);
    EXPECT_EQ(stub.calls(), second < 0 ? Calls{} : Calls{"seek " + std::to_string(second)});
}

INSTANTIATE_TEST_SUITE_P(Presses, SeekRounding,
                         ::testing::Values(std::tuple{6, 0, 0}, std::tuple{6, 45, 8}, std::tuple{6, 75, 12},
                                           std::tuple{6, 5459, 910}, std::tuple{0, 300, -1}));

TEST_F(PlayerFixture, MousePressOnTheBarIsMeasuredInTwips) {
    start();
    form->CngVol = 6;
    stub.setState(1);
    QTest::mousePress(form->PicStatus, Qt::MiddleButton, Qt::NoModifier, QPoint(3, 5)); // 45 twips
    EXPECT_EQ(stub.calls(), (Calls{"seek 8"}));
}

TEST_F(PlayerFixture, BarIsBlueUpToThePositionAndWhiteAfter) {
    start();
    form->CngVol = 6;
    stub.setState(1, 840); // 5040 twips = 336 pixels
    form->TimerStatus_Timer();
    QImage img = form->PicStatus->grab().toImage();
    const qreal dpr = img.devicePixelRatio();
    EXPECT_EQ(img.pixelColor(int(335 * dpr), 5), QColor(0, 0, 255));
    EXPECT_EQ(img.pixelColor(int(336 * dpr), 5), QColor(255, 255, 255));
    EXPECT_EQ(img.pixelColor(int(363 * dpr), 10), QColor(255, 255, 255));

    stub.setState(1, 2000); // beyond the bar: all blue
    form->TimerStatus_Timer();
    img = form->PicStatus->grab().toImage();
    EXPECT_EQ(img.pixelColor(int(363 * dpr), 5), QColor(0, 0, 255));
}

TEST_F(PlayerFixture, BarKeepsItsLastDrawingWhileThereIsNoScale) {
    start();
    stub.setOpen(1, 840);
    form->cmdPlay_Click();
    stub.setState(1, 100);
    form->TimerStatus_Timer();
    EXPECT_EQ(form->PicStatus->drawnBoundaryTwips(), 600);

    form->cmdStop_Click(); // the scale stays: the bar goes on following the reported position
    stub.setState(0, 50);
    form->TimerStatus_Timer();
    EXPECT_EQ(form->PicStatus->drawnBoundaryTwips(), 300);

    stub.setOpen(1, 11000); // too long for the bar
    form->cmdPlay_Click();
    stub.setState(1, 5000);
    form->TimerStatus_Timer();
    EXPECT_EQ(form->CngVol, 0);
    EXPECT_EQ(form->PicStatus->drawnBoundaryTwips(), 300);
}
