// The volume bar, the wheel over the window and the VOL row.
#include "PlayerFixture.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWindow>

using veltest::Calls;
using veltest::PlayerFixture;

namespace {

// A wheel event as the window system delivers it to the main window.
void turnWheel(velplay::frm_main& form, QPoint at, int angle) {
    QWheelEvent event(QPointF(at), QPointF(form.mapToGlobal(at)), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form.windowHandle(), &event);
}

struct WheelCase {
    int start;
    int angle;
    int expected;
    bool calls;
};

class Wheel : public PlayerFixture, public ::testing::WithParamInterface<WheelCase> {};

} // namespace

TEST_P(Wheel, OneStepOfFiveClampedWithoutCallAtTheLimits) {
    const auto& c = GetParam();
    start();
    form->ScSoftVol->setValue(c.start);
    stub.clearCalls();
    turnWheel(*form, QPoint(100, 100), c.angle);
    EXPECT_EQ(form->ScSoftVol->value(), c.expected);
    const std::string v = std::to_string(c.expected);
    EXPECT_EQ(stub.calls(), c.calls ? Calls{"setVolume " + v + " " + v} : Calls{});
}

INSTANTIATE_TEST_SUITE_P(Cases, Wheel,
                         ::testing::Values(WheelCase{3, -120, 0, true}, WheelCase{0, -120, 0, false},
                                           WheelCase{97, 120, 100, true}, WheelCase{100, 120, 100, false},
                                           WheelCase{47, 120, 52, true}, WheelCase{50, -15, 45, true},
                                           WheelCase{50, 480, 55, true}));

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

TEST_F(PlayerFixture, HorizontalWheelLeavesTheVolume) {
    start();
    QWheelEvent event(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(120, 0), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form->windowHandle(), &event);
    EXPECT_EQ(form->ScSoftVol->value(), 50);
    EXPECT_TRUE(stub.calls().empty());
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

TEST_F(PlayerFixture, VolTwiceShowsThenHidesTheRowAtTheSameHeight) {
    start();
    const int closed = form->height();
    const QColor face = form->cmdPlay->palette().color(QPalette::Button);
    form->cmdVol->click();
    EXPECT_TRUE(form->VolStat);
    EXPECT_EQ(form->height(), 252);
    EXPECT_EQ(form->cmdVol->palette().color(QPalette::Button), QColor(192, 255, 192));
    EXPECT_LE(form->ScSoftVol->geometry().bottom(), form->height());
    form->cmdVol->click();
    EXPECT_FALSE(form->VolStat);
    EXPECT_EQ(form->height(), closed);
    EXPECT_EQ(closed, 226);
    EXPECT_EQ(form->cmdVol->palette().color(QPalette::Button), face);
    EXPECT_TRUE(stub.calls().empty());
}
