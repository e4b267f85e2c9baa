#include "CoverView.h"

#include "AccessibleWidgets.h"
#include "TextUtil.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImageReader>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <array>

namespace velplay {

std::optional<FadeGeometry> fadeGeometry(QSize view, QSize picture) {
    const int W = picture.width(), H = picture.height();
    if (W < 50 || H < 50) return std::nullopt;
    auto half = [](int outer, int inner) { return int(vel::RoundHalfEven((outer - inner) / 2.0)); };
    // No border on either box: outer and inner sizes agree.
    return FadeGeometry{half(view.width(), W), half(view.height(), H), W, H};
}

CoverView::CoverView(bool& viewStatus, QWidget* parent) : QWidget(parent), viewStatus_(viewStatus) {
    installAccessibleWidgets();
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CoverView::ensureCanvas() {
    if (canvas_.size() == size()) return;
    // A resize keeps what was shown, on black.
    QImage next(size(), QImage::Format_RGB32);
    next.fill(Qt::black);
    if (!canvas_.isNull()) QPainter(&next).drawImage(0, 0, canvas_);
    canvas_ = std::move(next);
}

void CoverView::ShowCover(const QString& file) {
    QImageReader reader(file);
    QImage picture = reader.read();
    if (picture.isNull()) {
        ClearCover();
        return;
    }
    // The blend uses a constant opacity only: a picture's own alpha is ignored.
    pic_main_ = picture.convertToFormat(QImage::Format_RGB32);
    viewStatus_ = true;
    AlphaShow();
}

void CoverView::ClearCover() {
    pic_main_ = QImage();
    viewStatus_ = false;
}

void CoverView::AlphaShow() { fade(1, 255, 1); }

void CoverView::AlphaHide() { fade(255, 1, -1); }

namespace {

// Blends `source` at constant opacity a/255 over black `dest` at `origin`,
// clipped to `dest`. Each channel becomes round(v * a / 255): exact steps of
// 1/255, so the faintest frame (a = 1) of a bright cover still shows.
void blendOnBlack(QImage& dest, QPoint origin, const QImage& source, QSize size, int a) {
    const QRect target = QRect(origin, size) & dest.rect() & QRect(origin, source.size());
    if (target.isEmpty()) return;
    std::array<uchar, 256> scale;
    for (int v = 0; v < 256; ++v) scale[std::size_t(v)] = uchar((v * a + 127) / 255);
    for (int y = target.top(); y <= target.bottom(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(dest.scanLine(y)) + target.left();
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y - origin.y())) + (target.left() - origin.x());
        for (int x = 0; x < target.width(); ++x) {
            const QRgb p = in[x];
            out[x] = qRgb(scale[qRed(p)], scale[qGreen(p)], scale[qBlue(p)]);
        }
    }
}

} // namespace

void CoverView::fade(int from, int to, int step) {
    ensureCanvas();
    const auto g = fadeGeometry(canvas_.size(), pic_main_.size());
    if (!g) return;
    for (int a = from;; a += step) {
        canvas_.fill(Qt::black);
        blendOnBlack(canvas_, QPoint(g->X, g->Y), pic_main_, QSize(g->SW, g->SH), a);
        // Each frame reaches the screen before the next is drawn.
        repaint();
        if (frameHook_) frameHook_(a, canvas_);
        if (a == to) break;
    }
}

void CoverView::erase() {
    ensureCanvas();
    canvas_.fill(Qt::black);
    repaint();
}

void CoverView::paintEvent(QPaintEvent* event) {
    ensureCanvas();
    QPainter p(this);
    const QRect r = event->rect();
    p.drawImage(r, canvas_, r);
}

void CoverView::resizeEvent(QResizeEvent*) { ensureCanvas(); }

void CoverView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}

namespace {

QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

} // namespace

void CoverView::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CoverView::dragMoveEvent(QDragMoveEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CoverView::dropEvent(QDropEvent* event) {
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    emit filesDropped(paths);
}

} // namespace velplay
