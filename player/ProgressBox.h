#pragma once
// The progress bar: drawn in twips (15 to the pixel) as a blue box up to the
// position and a white box after it. It keeps showing the last boxes it was
// given until it is given new ones. Assistive technology sees it as a slider
// over the play position in seconds (AccessibleWidgets).
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

    // The play position and the track's length in seconds, as last polled. A new
    // position is announced to assistive technology; the same one again is not.
    void setPlayPosition(std::int32_t seconds, std::int32_t lengthSeconds);
    std::int32_t positionSeconds() const { return position_; }
    std::int32_t lengthSeconds() const { return length_; }

signals:
    // A mouse press, with its position in twips inside the bar.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    // Assistive technology set the position (seconds, within 0 and the length).
    void seekRequested(int seconds);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::optional<std::int64_t> boundary_;
    std::int32_t position_ = 0;
    std::int32_t length_ = 0;
};

} // namespace velplay
