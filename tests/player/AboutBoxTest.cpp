// The about box: contents, the link's hover effect, the link and OK.
#include "PlayerFixture.h"
#include "about/frm_version.h"
#include "desktop/JapaneseFont.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using velplay::frm_version;
using veltest::PlayerFixture;

namespace {

void moveOver(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

bool highlighted(const frm_version& box) {
    const bool underline = box.lblURL->font().underline();
    const QColor colour = box.lblURL->palette().color(QPalette::WindowText);
    EXPECT_EQ(colour, underline ? QColor(0, 0, 255) : QColor(0, 0, 0));
    return underline;
}

} // namespace

TEST(AboutBox, ShowsTitleVersionNoteAndLink) {
    frm_version box(nullptr, [](const QUrl&) { return true; });
    EXPECT_EQ(box.windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(box.size(), QSize(287, 141));
    EXPECT_EQ(box.lblAppTitle->text(), "Velmora");
    EXPECT_TRUE(box.lblAppTitle->font().bold());
    EXPECT_DOUBLE_EQ(box.lblAppTitle->font().pointSizeF(), 15.75);
    if (const QString family = velplay::japaneseGothicFamily(); !family.isEmpty()) {
        EXPECT_EQ(QFontInfo(box.lblAppTitle->font()).family(), family);
    }
#if VELMORA_VERSION_MAJOR == 1 && VELMORA_VERSION_MINOR == 0 && VELMORA_VERSION_PATCH == 0
    EXPECT_EQ(box.lblVersion->text(), "Version 1.00");
#endif
    EXPECT_TRUE(box.lblVersion->alignment() & Qt::AlignRight);
    EXPECT_EQ(box.Text1->toPlainText(),
              QStringLiteral("このプログラムのジャケット画像検索機能は\nAmazon Web Servicesを使用しています。\n"));
    EXPECT_EQ(box.lblURL->toolTip(), QStringLiteral("いますぐクリック！"));
    EXPECT_FALSE(box.Image1->pixmap().isNull());
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(highlighted(box));
}

TEST(AboutBox, LinkHighlightsOverItselfAndClearsOverTheSurface) {
    frm_version box(nullptr, [](const QUrl&) { return true; });
    box.show();
    moveOver(box.lblURL, QPoint(5, 5));
    EXPECT_TRUE(highlighted(box));
    moveOver(box.lblURL, QPoint(6, 5));
    EXPECT_TRUE(highlighted(box));
    moveOver(&box, QPoint(2, 2));
    EXPECT_FALSE(highlighted(box));
    moveOver(&box, QPoint(3, 2));
    EXPECT_FALSE(highlighted(box));
}

TEST(AboutBox, LinkOpensTheSiteItNames) {
    std::vector<QUrl> opened;
    frm_version box(nullptr, [&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    box.show();
    QTest::mouseClick(box.lblURL, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(box.lblURL->text()));
    EXPECT_EQ(opened[0].scheme(), "https");
}

TEST_F(PlayerFixture, VerShowsTheModalAboutBoxAndOkClosesIt) {
    start();
    QString title;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<frm_version*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        modal = box->isModal();
        box->cmdOk->click();
    });
    form->cmdOption->click();
    EXPECT_EQ(title, QStringLiteral("バージョン情報"));
    EXPECT_TRUE(modal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
