#pragma once
// Starts the cover fetcher for a track and waits for it on the 1 ms timer of
// the main window; when it has ended, shows the cover it left or clears it.
#include "FetcherProcess.h"

#include <QString>

#include <functional>

class QTimer;
class QWidget;

namespace velplay {

class CoverSearch {
public:
    // `timerImg` is the window's 1 ms timer, whose timeout must call TimerImg_Timer.
    CoverSearch(QTimer& timerImg, QWidget* owner, std::function<void()> showCover,
                std::function<void()> clearCover);

    // Starts the fetcher with the track path as one argument in double quotes.
    // An earlier fetcher that still runs is ended first. False when the fetcher
    // could not be started; only a failure other than a missing program is reported.
    bool StartCoverSearch(const QString& path);

    void TimerImg_Timer();

    // The picture the fetcher leaves in the application folder.
    static QString coverPath();

    FetcherProcess& process() { return process_; }

private:
    QTimer& timerImg_;
    QWidget* owner_;
    std::function<void()> showCover_, clearCover_;
    FetcherProcess process_;
};

} // namespace velplay
