// What a screen reader sees, through Qt's accessibility API: the progress bar
// as a slider over the play position, the names of the volume bar and the cover.
#include "PlayerFixture.h"

#include <QAccessible>
#include <QAccessibleValueChangeEvent>
#include <QImage>
#include <QTest>

#include <vector>

using veltest::Calls;
using veltest::PlayerFixture;

namespace {

const QObject* watched = nullptr;
std::vector<int> announced; // values of the change events on `watched`

void recordValueChange(QAccessibleEvent* event) {
    if (event->type() == QAccessible::ValueChanged && event->object() == watched)
        announced.push_back(static_cast<QAccessibleValueChangeEvent*>(event)->value().toInt());
}

} // namespace

TEST_F(PlayerFixture, ProgressBarIsASliderOverThePositionThatSeeksAsAPress) {
    start();
    form->FileName = QStringLiteral("/m/t.mp3");
    stub.setOpen(1, 840); // scale 6 twips a second
    form->cmdPlay_Click();

    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(form->PicStatus);
    ASSERT_NE(bar, nullptr);
    QAccessibleValueInterface* value = bar->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::Slider);
    EXPECT_EQ(bar->text(QAccessible::Name), QStringLiteral("再生位置"));
    EXPECT_FALSE(bar->state().focusable); // not in the Tab order

    stub.setState(1, 73);
    form->TimerStatus_Timer();
    EXPECT_EQ(value->currentValue().toInt(), 73);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 840);

    // Setting it is a press where that second is drawn, within the bar.
    struct {
        int state, scale;
        QVariant set;
        Calls calls;
    } const rows[] = {
        {1, 6, 300, {"seek 300"}},       {2, 6, 298.5, {"seek 298"}},   {1, 6, 5000, {"seek 840"}},
        {1, 6, -3, {"seek 0"}},          {0, 6, 300, {}},               {1, 0, 300, {}}, // stopped; no scale
        {1, 6, QStringLiteral("x"), {}}, {1, 6, qQNaN(), {}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.set.toString().toStdString() + " in state " + std::to_string(row.state));
        form->CngVol = row.scale;
        stub.setState(row.state, 73);
        stub.clearCalls();
        value->setCurrentValue(row.set);
        EXPECT_EQ(stub.calls(), row.calls);
    }
}

// Qt passes events on only while assistive technology listens: this one runs
// on a private accessibility bus (see CMakeLists.txt).
class AtSpiBus : public PlayerFixture {};

TEST_F(AtSpiBus, ProgressBarAnnouncesNewPositionsOnly) {
    if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 30000)) // a ceiling only
        GTEST_SKIP() << "no accessibility bus: Qt's bridge stayed inactive";
    start();
    watched = form->PicStatus;
    const auto previous = QAccessible::installUpdateHandler(recordValueChange);
    for (int position : {100, 100, 101, 101, 0}) {
        stub.setState(1, position);
        form->TimerStatus_Timer();
    }
    QAccessible::installUpdateHandler(previous);
    EXPECT_EQ(announced, (std::vector<int>{100, 101, 0}));
}

TEST_F(PlayerFixture, VolumeBarAndCoverAreNamed) {
    start();
    auto name = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    EXPECT_EQ(name(form->ScSoftVol), QStringLiteral("VOLUME"));
    QAccessibleInterface* cover = QAccessible::queryAccessibleInterface(form->pic_View);
    EXPECT_EQ(cover->role(), QAccessible::Graphic);
    EXPECT_TRUE(cover->text(QAccessible::Description).startsWith(QStringLiteral("ダブルクリックで ")));

    QImage picture(160, 160, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(file("temp.jpg"), "JPG"));
    // The album while its cover is on show, a plain name otherwise.
    struct {
        const char* album;
        bool show;
        const char* expected;
    } const rows[] = {{"", false, "ジャケット画像"},
                      {"Velmora デモ", true, "Velmora デモ"},
                      {"Velmora デモ", false, "ジャケット画像"},
                      {"", true, "ジャケット画像"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.expected);
        form->ShownTrack.album = QString::fromUtf8(row.album);
        row.show ? form->ShowCover() : form->ClearCover();
        EXPECT_EQ(name(form->pic_View), QString::fromUtf8(row.expected));
    }
}
