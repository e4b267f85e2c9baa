#include "MainWndProc.h"

#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

namespace velplay {

bool MainWndProc::InWheel = false;

MainWndProc::MainWndProc(std::function<void()> minus, std::function<void()> plus, QObject* parent)
    : QObject(parent), minus_(std::move(minus)), plus_(std::move(plus)) {}

void MainWndProc::install(QWindow* window, QWidget* volumeBar) {
    window_ = window;
    volumeBar_ = volumeBar;
    if (window_) window_->installEventFilter(this);
    if (volumeBar_) volumeBar_->installEventFilter(this);
}

bool MainWndProc::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) return false;
    if (watched == volumeBar_) {
        // The step was taken when the event reached the window; the bar only passes it up.
        event->ignore();
        return true;
    }
    if (watched == window_ && !InWheel) {
        InWheel = true;
        const auto* wheel = static_cast<QWheelEvent*>(event);
        int dy = wheel->angleDelta().y();
        if (dy == 0) dy = wheel->pixelDelta().y();
        if (dy < 0) minus_();
        else if (dy > 0) plus_();
        InWheel = false;
    }
    return false; // the event goes on
}

} // namespace velplay
