#pragma once
// The player's main window: cover area, progress bar, the button row and the
// volume row, with the window's state and one handler per control event.
//
// The form keeps its historical names; what each one is:
//   pic_View      the cover area at the top: shows and fades covers, takes
//                 dropped files, a double-click opens the store page
//   pic_main      an off-screen picture that holds the loaded cover for the fade
//   PicStatus     the progress bar under the cover; a press seeks
//   cmdPlay       PLAY / PAUSE (the caption names what a click does next)
//   cmdStop       STOP
//   cmdVol        VOL: shows or hides the volume row
//   cmdNext       TAG: opens the tag editor for the current file
//   cmdLoad       LOAD: the open-file dialog
//   cmdHelp       HELP: the help file, when there is one
//   cmdOption     VER: the about box
//   Label1        the "VOLUME" label of the volume row
//   ScSoftVol     the volume slider (0 to 100) of the volume row
//   TimerStatus   the 100 ms poll that keeps cmdPlay's caption and PicStatus current
//   TimerImg      the poll that waits for the cover fetcher to end
//   FileName      the current track, as supplied (command line, dialog or drop)
//   ViewStatus    a cover is on show (the store link and the caption look at it)
//   VolStat       the volume row is shown
//   AsinFileName  the "asin" hand-off file the fetcher leaves for the store link
//   CngVol        progress-bar twips per second of the track; 0 = no bar, no seeking
//   TrackLength   the opened track's length in seconds
//   hProcess      the running cover fetcher; kept by CoverSearch
#include "cover/CoverView.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QLockFile;
class QPushButton;
class QScrollBar;
class QTimer;
class QUrl;

namespace velplay {

class CoverSearch;
class MainWndProc;
class ProgressBox;

class frm_main : public QWidget {
    Q_OBJECT
public:
    // Sizes in twips, 15 to the logical pixel.
    static constexpr int ClientWidth = 5490;
    static constexpr int ClientHeightClosed = 3390; // picture, progress bar, buttons
    static constexpr int ClientHeightOpen = 3785;   // and the volume row

    static constexpr const char16_t* kAlreadyRunningText = u"既に起動されています。";
    static constexpr const char16_t* kTitle = u"Velmora";

    explicit frm_main(QWidget* parent = nullptr);
    ~frm_main() override;

    // ---- controls ----
    // Cover area: black, 364 x 179; drop target, double-click, fading picture.
    CoverView* pic_View = nullptr;
    ProgressBox* PicStatus = nullptr;
    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdVol = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdLoad = nullptr;
    QPushButton* cmdHelp = nullptr;
    QPushButton* cmdOption = nullptr;
    QLabel* Label1 = nullptr;
    QScrollBar* ScSoftVol = nullptr;
    QWidget* pic_main = nullptr; // off-screen picture, below every client height
    QTimer* TimerStatus = nullptr; // 100 ms, runs for the life of the window
    QTimer* TimerImg = nullptr;    // 1 ms, runs while a cover fetcher is awaited

    // ---- window state ----
    QString FileName;     // the current track, exactly as supplied
    bool ViewStatus = false;
    // The running cover fetcher (hProcess) is kept by the cover search.
    bool VolStat = false; // volume row shown
    QString AsinFileName; // <hand-off folder>/asin
    std::int32_t CngVol = 0; // progress-bar twips per second of the track; 0 = no bar
    std::int32_t TrackLength = 0; // seconds, from the last open; 0 when it failed

    // What the caption was made of, for the desktop's media controls: the tag's
    // title when the caption came from the tag, else the file name; the tag's
    // artist and album when usable, else empty.
    struct TrackNames {
        QString title, artist, album;
    };
    TrackNames ShownTrack;

    // ---- replaceable services (tests answer them) ----
    std::function<QString(QWidget* owner, const QString& initialDir, QString& filter, int flags)> openDialog;
    std::function<void(QWidget* owner, const QString& title, const QString& text)> informationBox;
    std::function<bool(const QUrl&)> openUrl;
    QString lockPath; // the single-instance lock; empty: the user's default
    // Given the command line of a start refused because a player runs, before
    // its box; empty: nothing is handed over.
    std::function<void(const QString& commandLine)> handOff;

    // Start-up with the command-line text (the arguments joined by spaces).
    // False when another player runs: the window was not shown and nothing was
    // started; the caller ends the program.
    bool Form_Load(const QString& commandLine);
    // Deletes "asin" and releases the decoder; runs once, when the window closes.
    void Form_Unload();

    // Makes FileName the current track: plays it, captions the window, fades
    // the old cover out and starts the cover search.
    void LoadTrack();
    void ShowTrackTitle();

    // ---- cover search, cover display, store link ----
    bool StartCoverSearch(const QString& path);
    void TimerImg_Timer();
    void ShowCover();
    void ClearCover();
    void AlphaShow();
    void AlphaHide();
    void pic_View_OLEDragDrop(const QStringList& files);
    void pic_View_DblClick();
    CoverSearch& coverSearch() { return *coverSearch_; }

    // The decoder's state: 0 stopped, 1 playing, 2 paused.
    static std::int32_t GetPlayState();

    void cmdPlay_Click();
    void cmdStop_Click();
    void TimerStatus_Timer();
    void PicStatus_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

    void ScSoftVol_Change();
    void ScSoftVol_Scroll();
    void WheelMinus();
    void WheelPlus();
    void cmdVol_Click();

    void cmdLoad_Click();
    void cmdHelp_Click();
    void cmdNext_Click();
    void cmdOption_Click();

    // Gives the window a client height in twips (1/15 pixel, halves to even).
    void setClientHeightTwips(int twips);

signals:
    // For observers such as the media-player service on the session bus.
    void trackShown();                                             // ShowTrackTitle set a caption
    void coverChanged();                                           // ShowCover or ClearCover ran
    void statusPolled(std::int32_t state, std::int32_t position); // after each TimerStatus tick
    void unloaded();                                               // the decoder has been released

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<QLockFile> instanceLock_;
    std::unique_ptr<CoverSearch> coverSearch_; // keeps the running fetcher (hProcess)
    MainWndProc* wndProc_ = nullptr;
    bool started_ = false;  // Form_Load got past the instance check
    bool unloaded_ = false;
};

} // namespace velplay
