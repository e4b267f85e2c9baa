#pragma once
// The mouse wheel over the main window: one volume step per vertical wheel
// event, wherever the pointer is over the window. It watches the native
// window, which sees every wheel event once before any widget does, and lets
// the event go on unchanged. The volume bar's own wheel handling is switched
// off so that a notch never makes two steps.
#include <QObject>

#include <functional>

class QWindow;
class QWidget;

namespace velplay {

class MainWndProc : public QObject {
    Q_OBJECT
public:
    // `minus` runs when the wheel turns toward the user, `plus` otherwise.
    MainWndProc(std::function<void()> minus, std::function<void()> plus, QObject* parent = nullptr);

    // Watches `window` (the main window's native window) and silences the wheel of `volumeBar`.
    void install(QWindow* window, QWidget* volumeBar);

    // True while a wheel step runs: an event arriving meanwhile is only passed on.
    static bool InWheel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> minus_, plus_;
    QWindow* window_ = nullptr;
    QWidget* volumeBar_ = nullptr;
};

} // namespace velplay
