// The cover area: fade geometry, frames on real pixels, loading and clearing.
#include "cover/CoverView.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using velplay::CoverView;
using velplay::FadeGeometry;

namespace {

const QSize kView(364, 179);

struct GeometryCase {
    QSize picture;
    std::optional<FadeGeometry> expected;
};

void PrintTo(const GeometryCase& c, std::ostream* os) {
    *os << c.picture.width() << "x" << c.picture.height() << " picture";
}

class FadeGeometryTable : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(FadeGeometryTable, CentresHalvesToEvenAndSkipsSmallPictures) {
    EXPECT_EQ(velplay::fadeGeometry(kView, GetParam().picture), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FadeGeometryTable,
    ::testing::Values(GeometryCase{{160, 160}, FadeGeometry{102, 10, 160, 160}},
                      GeometryCase{{161, 161}, FadeGeometry{102, 9, 161, 161}},
                      GeometryCase{{500, 400}, FadeGeometry{-68, -110, 500, 400}},
                      GeometryCase{{50, 50}, FadeGeometry{157, 64, 50, 50}},
                      GeometryCase{{49, 300}, std::nullopt}, GeometryCase{{300, 49}, std::nullopt},
                      GeometryCase{{365, 180}, FadeGeometry{0,0, 365, 180}}));

// A picture file of one colour with a marker pixel at `marker`.
QString writePicture(const QTemporaryDir& dir, QSize size, QColor fill, QPoint marker = {-1, -1},
                     const char* name = "temp.png") {
    QImage img(size, QImage::Format_RGB32);
    img.fill(fill);
    if (marker.x() >= 0) img.setPixelColor(marker, Qt::red);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(img.save(path, "PNG"));
    return path;
}

class CoverViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        view.resize(kView);
        view.show();
        view.setFrameHookForTesting([this](int a, const QImage& canvas) {
            alphas.push_back(a);
            if (a == 128) midFrame = canvas.copy();
        });
    }

    int grey(int x, int y) { return qRed(view.canvas().pixel(x, y)); }

    QTemporaryDir dir;
    bool viewStatus = false;
    CoverView view{viewStatus};
    std::vector<int> alphas;
    QImage midFrame;
};

TEST_F(CoverViewTest, ShowFadesInOpaqueAndHideEndsAtOpacityOne) {
    view.ShowCover(writePicture(dir, {160, 160}, Qt::white));
    EXPECT_TRUE(viewStatus);
    ASSERT_EQ(alphas.size(), 255u);
    for (int i = 0; i < 255; ++i) ASSERT_EQ(alphas[std::size_t(i)], i + 1);
    // Frames are drawn at (102, 10), unscaled, at constant opacity.
    EXPECT_EQ(qRed(midFrame.pixel(102, 10)), 128);
    EXPECT_EQ(qRed(midFrame.pixel(101, 10)), 0);
    EXPECT_EQ(grey(102, 10), 255);
    EXPECT_EQ(grey(261, 169), 255);
    EXPECT_EQ(grey(262, 169), 0);
    EXPECT_EQ(grey(102, 9), 0);
    EXPECT_EQ(grey(102, 170), 0);

    alphas.clear();
    view.AlphaHide();
    ASSERT_EQ(alphas.size(), 255u);
    EXPECT_EQ(alphas.front(), 255);
    EXPECT_EQ(alphas.back(), 1);
    EXPECT_EQ(grey(180, 90), 1);
    EXPECT_EQ(grey(101, 90), 0);
    EXPECT_TRUE(viewStatus);
}

TEST_F(CoverViewTest, LargePictureIsCentredAndClippedUnscaled) {
    // The picture's pixel (68, 110) lands on the view's (0, 0).
    view.ShowCover(writePicture(dir, {500, 400}, Qt::white, {68, 110}));
    EXPECT_EQ(view.canvas().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(view.canvas().pixelColor(1, 0), QColor(Qt::white));
    EXPECT_EQ(view.canvas().pixelColor(363, 178), QColor(Qt::white));
}

TEST_F(CoverViewTest, SmallPictureCountsAsShownWithoutFade) {
    view.ShowCover(writePicture(dir, {160, 160}, Qt::white));
    alphas.clear();
    view.ShowCover(writePicture(dir, {49, 300}, Qt::blue, {-1, -1}, "small.png"));
    EXPECT_TRUE(viewStatus);
    EXPECT_TRUE(alphas.empty());
    EXPECT_EQ(view.pic_main().size(), QSize(49, 300));
    EXPECT_EQ(grey(180, 90), 255); // the earlier cover stays
}

TEST_F(CoverViewTest, UnreadablePictureClearsInsteadOfShowing) {
    view.ShowCover(writePicture(dir, {160, 160}, Qt::white));
    for (const QByteArray& content : {QByteArray(), QByteArray("not a picture at all")}) {
        QFile f(dir.filePath("temp.jpg"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        alphas.clear();
        viewStatus = true;
        view.ShowCover(f.fileName());
        EXPECT_FALSE(viewStatus);
        EXPECT_TRUE(view.pic_main().isNull());
        EXPECT_TRUE(alphas.empty());
        EXPECT_EQ(grey(180, 90), 255); // clearing leaves the area alone
    }
    view.AlphaHide(); // nothing held: no fade
    EXPECT_TRUE(alphas.empty());
}

TEST_F(CoverViewTest, EraseBlacksOutTheArea) {
    view.ShowCover(writePicture(dir, {160, 160}, Qt::white));
    view.erase();
    EXPECT_EQ(grey(180, 90), 0);
    EXPECT_TRUE(viewStatus);
}

TEST_F(CoverViewTest, DropsPassLocalFilesOnly) {
    std::vector<QStringList> dropped;
    QObject::connect(&view, &CoverView::filesDropped, [&](const QStringList& p) { dropped.push_back(p); });
    // A drop reaches the widget that accepted the drag's entry.
    auto drop = [&](QMimeData& data) {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &event);
    };
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/m/a.mp3"), QUrl::fromLocalFile("/m/b.mp3")});
    drop(files);
    QMimeData text;
    text.setText("/m/c.mp3");
    drop(text);
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0], QStringList({"/m/a.mp3", "/m/b.mp3"}));
}

} // namespace
