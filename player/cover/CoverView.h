#pragma once
// The cover area: a black, persistent picture into which the cover held
// off-screen (pic_main) is blended, centred and unscaled, in 255 frames.
#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>

namespace velplay {

// Where a fade draws: destination origin (X, Y) and the blended size (SW, SH).
struct FadeGeometry {
    int X, Y, SW, SH;
    bool operator==(const FadeGeometry&) const = default;
};

// Centres a picture of `picture` size in `view`, halves to even. No fade
// (nullopt) when either side of the picture is below 50 pixels.
std::optional<FadeGeometry> fadeGeometry(QSize view, QSize picture);

class CoverView : public QWidget {
    Q_OBJECT
public:
    // `viewStatus` is the window's flag "a cover is on show"; it must outlive this.
    CoverView(bool& viewStatus, QWidget* parent = nullptr);

    // Loads the picture file into pic_main and fades it in; a file that is no
    // readable picture is treated as no cover at all (ClearCover).
    void ShowCover(const QString& file);
    void ClearCover();
    void AlphaShow();
    void AlphaHide();

    // Paints the whole area black.
    void erase();

    const QImage& pic_main() const { return pic_main_; }
    // What the area shows (after any pending resize).
    const QImage& canvas() {
        ensureCanvas();
        return canvas_;
    }

    // Called after each fade frame has been drawn and shown, with its opacity.
    void setFrameHookForTesting(std::function<void(int alpha, const QImage& canvas)> hook) {
        frameHook_ = std::move(hook);
    }

signals:
    void doubleClicked();
    // Local paths of a drop that carries files; other drops are refused.
    void filesDropped(const QStringList& paths);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void dragEnterEvent(QDragEnterEvent*) override;
    void dragMoveEvent(QDragMoveEvent*) override;
    void dropEvent(QDropEvent*) override;

private:
    void fade(int from, int to, int step);
    void ensureCanvas();

    bool& viewStatus_;
    QImage pic_main_;
    QImage canvas_;
    std::function<void(int, const QImage&)> frameHook_;
};

} // namespace velplay
