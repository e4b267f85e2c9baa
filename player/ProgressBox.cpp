#include "ProgressBox.h"

#include "AccessibleWidgets.h"
#include "TextUtil.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace velplay {

ProgressBox::ProgressBox(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    // The background is the system window colour (the white of text areas).
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgressBox::drawBoxes(std::int64_t xTwips) {
    // The poll asks ten times a second; the boundary moves about once a second.
    // Whatever covered the bar meanwhile is repainted by Qt itself.
    if (boundary_ == xTwips) return;
    boundary_ = xTwips;
    update();
}

void ProgressBox::setPlayPosition(std::int32_t seconds, std::int32_t lengthSeconds) {
    length_ = lengthSeconds;
    // The poll runs ten times a second: only a change is worth a screen reader's word.
    if (seconds == position_) return;
    position_ = seconds;
    QAccessibleValueChangeEvent event(this, seconds);
    QAccessible::updateAccessibility(&event);
}

void ProgressBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    if (!boundary_) return;
    // Twips to pixels; a boundary outside the bar only means "all blue" or "all white".
    const double px = static_cast<double>(*boundary_) / kTwipsPerPixel;
    const int x = static_cast<int>(std::clamp<long long>(vel::RoundHalfEven(std::clamp(px, -1.0, width() + 1.0)), 0, width()));
    p.fillRect(QRect(0, 0, x, height()), QColor(0, 0, 255));
    p.fillRect(QRect(x, 0, width() - x, height()), QColor(255, 255, 255));
}

void ProgressBox::mousePressEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    emit mouseDown(event->button(), event->modifiers(),
                   static_cast<int>(vel::RoundHalfEven(pos.x() * kTwipsPerPixel)),
                   static_cast<int>(vel::RoundHalfEven(pos.y() * kTwipsPerPixel)));
}

} // namespace velplay
