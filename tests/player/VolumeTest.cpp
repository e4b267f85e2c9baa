// The volume bar, the wheel over the window and the VOL row.
#include "PlayerFixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

using veltest::Calls;
using veltest::PlayerFixture;

namespace {

// A wheel event as the window system delivers it to the main window.
void turnWheel(velplay::frm_main& form, QPoint at, int angle, int sideways = 0) {
    QWheelEvent event(QPointF(at), QPointF(form.mapToGlobal(at)), QPoint(), QPoint(sideways, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form.windowHandle(), &event);
}

struct WheelCase {
    int start;
    int angle;
    int expected;
    bool calls;
    int sideways = 0; // a horizontal wheel
};

void PrintTo(const WheelCase& c, std::ostream* os) {
    *os << "bar at " << c.start << ", wheel turned " << c.angle << (c.sideways ? " and sideways" : "");
}

class Wheel : public PlayerFixture, public ::testing::WithParamInterface<WheelCase> {};

} // namespace

TEST_P(Wheel, OneStepOfFiveClampedWithoutCallAtTheLimits) {
    const auto& c = GetParam();
    start();
    form->ScSoftVol->setValue(c.start);
    stub.clearCalls();
    turnWheel(*form, QPoint(100, 100), c.angle, c.sideways);
    EXPECT_EQ(form->ScSoftVol->value(), c.expected);
    const std::string v = std::to_string(c.expected);
    EXPECT_EQ(stub.calls(), c.calls ? Calls{"setVolume " + v + " " + v} : Calls{});
}

INSTANTIATE_TEST_SUITE_P(Cases, Wheel,
                         ::testing::Values(WheelCase{3, -120, 0, true}, WheelCase{0, -120, 0, false},
                                           WheelCase{97, 120, 100, true}, WheelCase{100, 120, 100, false},
                                           WheelCase{47, 120, 52, true}, WheelCase{50, -15, 45, true},
                                           WheelCase{50, 480, 55, true}, WheelCase{50, 0, 50, false, 120}));

TEST_F(PlayerFixture, WheelOverTheVolumeBarStepsOnceAndOverButtonsToo) {
    start();
    form->cmdVol_Click();
    form->ScSoftVol->setValue(50);
    stub.clearCalls();
    turnWheel(*form, form->ScSoftVol->geometry().center(), 120);
    EXPECT_EQ(form->ScSoftVol->value(), 55);
    turnWheel(*form, form->cmdPlay->geometry().center(), -120);
    turnWheel(*form, form->pic_View->geometry().center(), -120);
    EXPECT_EQ(form->ScSoftVol->value(), 45);
    EXPECT_EQ(stub.calls(), (Calls{"setVolume 55 55", "setVolume 50 50", "setVolume 45 45"}));
}

TEST_F(PlayerFixture, DraggingTheThumbSetsEqualChannelsOnTheWay) {
    start();
    form->ScSoftVol->setValue(20);
    stub.clearCalls();
    form->ScSoftVol->setSliderDown(true);
    for (int v = 22; v <= 80; v += 2) form->ScSoftVol->setSliderPosition(v);
    form->ScSoftVol->setSliderDown(false);
    const Calls calls = stub.calls();
    ASSERT_GE(calls.size(), 30u);
    int last = 20;
    for (const auto& call : calls) {
        int l = -1, r = -2;
        ASSERT_EQ(std::sscanf(call.c_str(), "setVolume %d %d", &l, &r), 2) << call;
        EXPECT_EQ(l, r);
        EXPECT_GE(l, last);
        last = l;
    }
    EXPECT_EQ(calls.back(), "setVolume 80 80");
    EXPECT_EQ(form->ScSoftVol->value(), 80);
}

// Pixels of a button's face away from its caption: the corners inside the border and the middle row's ends.
std::vector<QRgb> facePixels(QPushButton* button) {
    const QImage image = button->grab().toImage();
    const int w = image.width(), h = image.height();
    return {image.pixel(4, 4), image.pixel(w - 5, 4), image.pixel(4, h / 2), image.pixel(w - 5, h - 5)};
}

TEST_F(PlayerFixture, VolTwiceShowsThenHidesTheRowAtTheSameHeight) {
    start();
    const int closed = form->height();
    form->cmdVol->click();
    EXPECT_TRUE(form->VolStat);
    EXPECT_EQ(form->height(), 252);
    // Flat light green, exactly.
    for (QRgb pixel : facePixels(form->cmdVol)) EXPECT_EQ(QColor(pixel), QColor(192, 255, 192));
    EXPECT_LE(form->ScSoftVol->geometry().bottom(), form->height());
    form->cmdVol->click();
    EXPECT_FALSE(form->VolStat);
    EXPECT_EQ(form->height(), closed);
    EXPECT_EQ(closed, 226);
    EXPECT_EQ(facePixels(form->cmdVol), facePixels(form->cmdPlay)); // the button face again
    EXPECT_TRUE(stub.calls().empty());
}

// Tab reaches the volume bar only while its row is shown; arrow keys then move it.
TEST_F(PlayerFixture, VolumeBarTakesTabFocusOnlyWhileShown) {
    start();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), 60000)); // a ceiling only
    auto tabStops = [&] {
        std::vector<QWidget*> seen;
        form->cmdPlay->setFocus();
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen.push_back(QApplication::focusWidget());
        }
        return seen;
    };
    const std::vector<QWidget*> buttons = {form->cmdStop, form->cmdVol,  form->cmdNext, form->cmdLoad,
                                           form->cmdHelp, form->cmdOption, form->cmdPlay, form->cmdStop, form->cmdVol};
    EXPECT_EQ(tabStops(), buttons);

    form->cmdVol->click();
    const std::vector<QWidget*> withBar = {form->cmdStop, form->cmdVol,    form->cmdNext,  form->cmdLoad, form->cmdHelp,
                                           form->cmdOption, form->ScSoftVol, form->cmdPlay, form->cmdStop};
    EXPECT_EQ(tabStops(), withBar);
    form->ScSoftVol->setFocus();
    stub.clearCalls();
    QTest::keyClick(form->ScSoftVol, Qt::Key_Right);
    EXPECT_EQ(form->ScSoftVol->value(), 51);
    EXPECT_EQ(stub.calls(), (Calls{"setVolume 51 51"}));

    // Hidden again while it has the focus: the focus goes back to VOL.
    form->cmdVol->click();
    EXPECT_EQ(QApplication::focusWidget(), form->cmdVol);
    EXPECT_EQ(tabStops(), buttons);
}
