#include "frm_main.h"

#include "AccessibleControls.h"
#include "AppFolder.h"
#include "HandoffContract.h"
#include "HandoffFolder.h"
#include "MainWndProc.h"
#include "ProgressBox.h"
#include "TextUtil.h"
#include "TitleName.h"
#include "Twips.h"
#include "VBMP3.h"
#include "about/frm_version.h"
#include "cover/CoverSearch.h"
#include "cover/CoverView.h"
#include "cover/StoreLink.h"
#include "desktop/CentreOnOwner.h"
#include "desktop/ExternalOpen.h"
#include "desktop/InstanceLock.h"
#include "desktop/LibraryPath.h"
#include "desktop/ShowOpenDialog.h"
#include "tags/frm_TagInput.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLockFile>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

#include <limits>

namespace velplay {
namespace {

QPushButton* makeButton(QWidget* parent, const char* caption, int left) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setGeometry(twipsRect(left, 2940, 750, 405));
    button->setAutoDefault(false);
    return button;
}

void showInformation(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace

frm_main::frm_main(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      openDialog(ShowOpenDialog),
      informationBox(showInformation),
      openUrl(openExternally) {
    setWindowTitle(QString::fromUtf16(kTitle));

    pic_main = new QWidget(this);
    pic_main->setGeometry(twipsRect(480, 4785, 1800, 1830));

    pic_View = new CoverView(ViewStatus, this);
    pic_View->setGeometry(twipsRect(15, 15, 5460, 2685));
    pic_View->setToolTip(storeToolTip());

    cmdPlay = makeButton(this, "PLAY", 30);
    cmdStop = makeButton(this, "STOP", 810);
    cmdVol = makeButton(this, "VOL", 1590);
    cmdNext = makeButton(this, "TAG", 2370);
    cmdLoad = makeButton(this, "LOAD", 3150);
    cmdHelp = makeButton(this, "HELP", 3930);
    cmdOption = makeButton(this, "VER", 4710);

    Label1 = new QLabel(QStringLiteral("VOLUME"), this);
    Label1->setGeometry(twipsRect(90, 3495, 765, 225));

    ScSoftVol = new QScrollBar(Qt::Horizontal, this);
    ScSoftVol->setGeometry(twipsRect(945, 3480, 4470, 180));
    ScSoftVol->setRange(0, 100);
    // The value changes when a drag ends; while dragging only the scroll handler runs.
    ScSoftVol->setTracking(false);
    // Keyboard focus only while the volume row is shown; then Right and Up
    // raise the volume (a scroll bar's keys run the other way by default).
    ScSoftVol->setFocusPolicy(Qt::NoFocus);
    ScSoftVol->setInvertedControls(false);

    // Created in tab order, so that the focus chain follows it even where a
    // control takes no focus.
    PicStatus = new ProgressBox(this);
    PicStatus->setGeometry(twipsRect(15, 2700, 5460, 165));

    QWidget* const tabOrder[] = {pic_main, pic_View, cmdPlay, cmdStop, cmdVol, cmdNext,
                                 cmdLoad, cmdHelp, cmdOption, Label1, ScSoftVol, PicStatus};
    for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);

    TimerStatus = new QTimer(this);
    TimerStatus->setInterval(100);
    TimerImg = new QTimer(this);
    TimerImg->setInterval(1);
    coverSearch_ = std::make_unique<CoverSearch>(*TimerImg, this, [this] { ShowCover(); }, [this] { ClearCover(); });

    connect(cmdPlay, &QPushButton::clicked, this, [this] { cmdPlay_Click(); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { cmdStop_Click(); });
    connect(cmdVol, &QPushButton::clicked, this, [this] { cmdVol_Click(); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { cmdNext_Click(); });
    connect(cmdLoad, &QPushButton::clicked, this, [this] { cmdLoad_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdOption, &QPushButton::clicked, this, [this] { cmdOption_Click(); });
    connect(ScSoftVol, &QScrollBar::valueChanged, this, [this] { ScSoftVol_Change(); });
    connect(ScSoftVol, &QScrollBar::sliderMoved, this, [this] { ScSoftVol_Scroll(); });
    connect(TimerStatus, &QTimer::timeout, this, [this] { TimerStatus_Timer(); });
    connect(TimerImg, &QTimer::timeout, this, [this] { TimerImg_Timer(); });
    connect(pic_View, &CoverView::filesDropped, this, [this](const QStringList& f) { pic_View_OLEDragDrop(f); });
    connect(pic_View, &CoverView::doubleClicked, this, [this] { pic_View_DblClick(); });
    connect(PicStatus, &ProgressBox::mouseDown, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) { PicStatus_MouseDown(b, s, x, y); });
    attachAccessibility(*this);

    setFixedWidth(twipsToPixels(ClientWidth));
    setClientHeightTwips(ClientHeightClosed);
}

frm_main::~frm_main() = default;

void frm_main::setClientHeightTwips(int twips) {
    // Qt sizes the client area directly; the frame stays the window manager's.
    setFixedSize(twipsToPixels(ClientWidth), twipsToPixels(twips));
}

bool frm_main::Form_Load(const QString& commandLine) {
    setClientHeightTwips(ClientHeightClosed);
    VolStat = false;

    AsinFileName = QString::fromStdString(vel::handoffFile(vel::kAsinFile));

    bool otherInstance = false;
    instanceLock_ = acquireInstanceLock(lockPath.isEmpty() ? instanceLockPath() : lockPath, otherInstance);
    if (otherInstance) {
        if (handOff) handOff(commandLine);
        informationBox(nullptr, QString::fromUtf16(kTitle), QString::fromUtf16(kAlreadyRunningText));
        return false;
    }
    started_ = true;
    TimerStatus->start();

    VBMP3::vbmp3_init();
    VBMP3::vbmp3_setVolume(50, 50);
    std::int32_t left = 0, right = 0;
    VBMP3::vbmp3_getVolume(left, right);
    ScSoftVol->setValue(left);

    // The native window must exist for the wheel filter to watch it.
    winId();
    wndProc_ = new MainWndProc([this] { WheelMinus(); }, [this] { WheelPlus(); }, this);
    wndProc_->install(windowHandle(), ScSoftVol);

    FileName = commandLine;

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();

    if (!FileName.isEmpty()) {
        std::u16string name = FileName.toStdU16String();
        vel::TrimQuotes(name);
        FileName = QString::fromStdU16String(name);
        if (vel::EndsWithMp3(FileName.toStdString())) LoadTrack();
    }
    return true;
}

void frm_main::closeEvent(QCloseEvent* event) {
    Form_Unload();
    QWidget::closeEvent(event);
}

void frm_main::Form_Unload() {
    if (!started_ || unloaded_) return;
    unloaded_ = true;
    TimerStatus->stop();
    if (!AsinFileName.isEmpty() && QFileInfo(AsinFileName).isFile()) QFile::remove(AsinFileName);
    VBMP3::vbmp3_stop();
    VBMP3::vbmp3_stopCallback();
    VBMP3::vbmp3_free();
    emit unloaded();
}

void frm_main::LoadTrack() {
    pic_View->erase();
    cmdPlay->setText(QStringLiteral("PAUSE"));
    cmdPlay_Click();
    ShowTrackTitle();
    // The old cover fades out under the new caption, before the new search starts.
    if (ViewStatus) AlphaHide();
    StartCoverSearch(FileName);
    QCoreApplication::processEvents();
}

void frm_main::ShowTrackTitle() {
    QString artist, title, album;
    VBMP3::TagRecord tag;
    if (VBMP3::vbmp3_getFileTagInfoEX(libraryPath(FileName), tag) != 0) {
        artist = QString::fromStdU16String(VBMP3::CutAtNul(tag.Artist.str()));
        title = QString::fromStdU16String(VBMP3::CutAtNul(tag.Title.str()));
        album = QString::fromStdU16String(VBMP3::CutAtNul(tag.Album.str()));
    }
    auto usable = [](const QString& text) { return !text.isEmpty() && text != QLatin1String(" "); };
    const bool fromTag = usable(artist) && usable(title);
    const QString fileTitle = QString::fromStdU16String(vel::GetTitleName(FileName.toStdU16String(), false));
    ShownTrack = {fromTag ? title : fileTitle, usable(artist) ? artist : QString(), usable(album) ? album : QString()};
    QString caption = fromTag ? artist + QStringLiteral(" - ") + title : fileTitle;
    // Qt reads "[*]" in a title as the modified-marker placeholder; doubled, it shows as itself.
    setWindowTitle(caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    emit trackShown();
    QCoreApplication::processEvents();
}

// ---- cover search, cover display, store link ----

bool frm_main::StartCoverSearch(const QString& path) { return coverSearch_->StartCoverSearch(path); }

void frm_main::TimerImg_Timer() { coverSearch_->TimerImg_Timer(); }

void frm_main::ShowCover() {
    pic_View->ShowCover(CoverSearch::coverPath());
    emit coverChanged();
}

void frm_main::ClearCover() {
    pic_View->ClearCover();
    emit coverChanged();
}

void frm_main::AlphaShow() { pic_View->AlphaShow(); }

void frm_main::AlphaHide() { pic_View->AlphaHide(); }

void frm_main::pic_View_OLEDragDrop(const QStringList& files) {
    // Only the first file counts; a drop without files never gets here.
    if (files.isEmpty() || files.first().isEmpty()) return;
    FileName = files.first();
    if (!vel::EndsWithMp3(FileName.toStdString())) return;
    VBMP3::vbmp3_stop();
    VBMP3::vbmp3_encodeStop();
    LoadTrack();
}

void frm_main::pic_View_DblClick() { openStoreLink(ViewStatus, AsinFileName, openUrl); }

// ---- transport ----

std::int32_t frm_main::GetPlayState() {
    std::int32_t position = 0;
    return VBMP3::vbmp3_getState(position);
}

void frm_main::cmdPlay_Click() {
    if (GetPlayState() == 2) {
        VBMP3::vbmp3_restart();
        cmdPlay->setText(QStringLiteral("PAUSE"));
        return;
    }
    if (GetPlayState() == 1) {
        VBMP3::vbmp3_pause();
        cmdPlay->setText(QStringLiteral("PLAY"));
        return;
    }
    VBMP3::vbmp3_stop();
    VBMP3::TrackInfo info;
    TrackLength = 0;
    if (VBMP3::vbmp3_open(libraryPath(FileName), info) == 0) return;
    TrackLength = info.Length;
    // A length of 0 (or less) leaves no scale: no bar, no seeking.
    CngVol = info.Length > 0
                 ? static_cast<std::int32_t>(vel::RoundHalfEven(static_cast<double>(PicStatus->innerWidthTwips()) / info.Length))
                 : 0;
    VBMP3::vbmp3_play();
    cmdPlay->setText(QStringLiteral("PAUSE"));
}

void frm_main::cmdStop_Click() {
    VBMP3::vbmp3_stop();
    VBMP3::vbmp3_encodeStop();
    cmdPlay->setText(QStringLiteral("PLAY"));
}

void frm_main::TimerStatus_Timer() {
    std::int32_t position = 0;
    const std::int32_t state = VBMP3::vbmp3_getState(position);
    if (state == 0) cmdPlay->setText(QStringLiteral("PLAY"));
    if (CngVol > 0) PicStatus->drawBoxes(static_cast<std::int64_t>(CngVol) * position);
    emit statusPolled(state, position);
}

void frm_main::PicStatus_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int) {
    if (GetPlayState() != 0 && CngVol > 0)
        VBMP3::vbmp3_seek(static_cast<std::int32_t>(vel::RoundHalfEven(static_cast<double>(x) / CngVol)));
}

// ---- volume ----

void frm_main::ScSoftVol_Change() {
    const int left = ScSoftVol->value();
    const int right = ScSoftVol->value();
    VBMP3::vbmp3_setVolume(left, right);
}

void frm_main::ScSoftVol_Scroll() {
    // While the thumb is dragged its position is the bar's value.
    const int left = ScSoftVol->sliderPosition();
    const int right = ScSoftVol->sliderPosition();
    VBMP3::vbmp3_setVolume(left, right);
}

void frm_main::WheelMinus() {
    const int v = ScSoftVol->value();
    ScSoftVol->setValue(v >= 5 ? v - 5 : 0);
}

void frm_main::WheelPlus() {
    const int v = ScSoftVol->value();
    ScSoftVol->setValue(v <= 95 ? v + 5 : 100);
}

void frm_main::cmdVol_Click() {
    if (VolStat) {
        VolStat = false;
        cmdVol->setStyleSheet(QString()); // back to the button face
        if (ScSoftVol->hasFocus()) cmdVol->setFocus();
        ScSoftVol->setFocusPolicy(Qt::NoFocus);
        setClientHeightTwips(ClientHeightClosed);
    } else {
        VolStat = true;
        // Flat light green: a palette colour alone would be drawn as the style's gradient.
        cmdVol->setStyleSheet(QStringLiteral("QPushButton { background-color: rgb(192, 255, 192);"
                                             " border: 1px solid palette(dark); }"
                                             "QPushButton:focus { border: 1px solid palette(highlight); }"));
        ScSoftVol->setFocusPolicy(Qt::StrongFocus);
        setClientHeightTwips(ClientHeightOpen);
    }
}

// ---- file, help, about ----

void frm_main::cmdLoad_Click() {
    QString filter = QStringLiteral("MP3ファイル (*.mp3)|*.mp3|");
    const QString path = openDialog(this, QString(), filter, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
    if (path.isEmpty()) return;
    FileName = path;
    VBMP3::vbmp3_stop();
    VBMP3::vbmp3_encodeStop();
    QCoreApplication::processEvents();
    LoadTrack();
}

void frm_main::cmdHelp_Click() {
    // Without a help file nothing happens (the desktop would otherwise report the missing file).
    const QString help = QString::fromStdString(vel::appFile("velplay.chm"));
    if (QFileInfo(help).isFile()) openUrl(QUrl::fromLocalFile(help));
}

void frm_main::cmdNext_Click() {
    // Modal: the window takes no input meanwhile, but its timers keep running.
    frm_TagInput tagInput(FileName, this);
    centreOnOwner(tagInput, *this);
    tagInput.exec();
}

void frm_main::cmdOption_Click() {
    frm_version about(this, openUrl);
    centreOnOwner(about, *this);
    about.exec();
}

} // namespace velplay
