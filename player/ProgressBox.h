#pragma once
// The progress bar: drawn in twips (15 to the pixel) as a blue box up to the
// position and a white box after it. It keeps showing the last boxes it was
// given until it is given new ones.
#include "Twips.h"

#include <QWidget>

#include <cstdint>
#include <optional>

namespace velplay {

class ProgressBox : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBox(QWidget* parent = nullptr);

    int innerWidthTwips() const { return width() * kTwipsPerPixel; }
    int innerHeightTwips() const { return height() * kTwipsPerPixel; }

    // Blue from 0 to x, white from x to the inner width (both in twips).
    void drawBoxes(std::int64_t xTwips);

    // The boundary last drawn, or nothing while the bar has never been drawn.
    std::optional<std::int64_t> drawnBoundaryTwips() const { return boundary_; }

signals:
    // A mouse press, with its position in twips inside the bar.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::optional<std::int64_t> boundary_;
};

} // namespace velplay
