#include "MprisPlayer.h"

#include "MprisService.h"
#include "TextUtil.h"
#include "VBMP3.h"
#include "cover/CoverSearch.h"
#include "frm_main.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace velplay {
namespace {

constexpr qlonglong kMicro = 1000000;
const QString kInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

bool running(std::int32_t state) { return state == 1 || state == 2; }

// A path as the decoder opens it (trimmed; relative to the working folder), made absolute.
QString absolutePath(const QString& path) { return QFileInfo(path.trimmed()).absoluteFilePath(); }

QString fileUrl(const QString& path) {
    return QString::fromUtf8(QUrl::fromLocalFile(absolutePath(path)).toEncoded());
}

} // namespace

MprisPlayer::MprisPlayer(frm_main& window, MprisService& service)
    : QDBusAbstractAdaptor(&service), window_(window), service_(service) {
    // A track given on the command line was shown before the service started.
    track_ = window.ShownTrack.title.isEmpty() ? 0 : 1;
    trackPath_ = absolutePath(window.FileName);
    trackUrl_ = fileUrl(trackPath_);
    coverShown_ = window.ViewStatus;
    followCover();
    followFolder(true);
    // Files added to or removed from the folder change what next and previous can reach.
    connect(&folderWatch_, &QFileSystemWatcher::directoryChanged, this, [this] {
        followFolder(true);
        notify();
    });
    connect(&window, &frm_main::statusPolled, this,
            [this](std::int32_t state, std::int32_t position) { observe(state, position, false, true); });
    connect(&window, &frm_main::trackShown, this, [this] {
        ++track_;
        trackPath_ = absolutePath(window_.FileName);
        trackUrl_ = fileUrl(trackPath_);
        coverShown_ = false; // the old cover is on its way out
        followCover();
        followFolder(false); // the folder's files are known unless it is another
        update();
    });
    connect(&window, &frm_main::coverChanged, this, [this] {
        coverShown_ = window_.ViewStatus;
        followCover();
        notify();
    });
    connect(window.ScSoftVol, &QScrollBar::valueChanged, this, [this] { notify(); });
    connect(&window, &frm_main::unloaded, this, [this] {
        gone_ = true;
        art_.remove();
        followFolder(true);
    });
    update();
}

// ---- properties ----

QString MprisPlayer::playbackStatus() const {
    switch (state_) {
    case 1: return QStringLiteral("Playing");
    case 2: return QStringLiteral("Paused");
    default: return QStringLiteral("Stopped");
    }
}

QDBusObjectPath MprisPlayer::trackId() const {
    // Paths under /org/mpris are reserved by the interface; ours live under our own name.
    return track_ == 0 ? QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"))
                       : QDBusObjectPath(QStringLiteral("/org/velmora/velplay/track/%1").arg(track_));
}

QVariantMap MprisPlayer::metadata() const {
    QVariantMap m{{QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId())}};
    if (track_ == 0) return m;
    const frm_main::TrackNames& names = window_.ShownTrack;
    m.insert(QStringLiteral("xesam:title"), names.title);
    if (!names.artist.isEmpty()) m.insert(QStringLiteral("xesam:artist"), QStringList{names.artist});
    if (!names.album.isEmpty()) m.insert(QStringLiteral("xesam:album"), names.album);
    m.insert(QStringLiteral("xesam:url"), trackUrl_);
    if (window_.TrackLength > 0) m.insert(QStringLiteral("mpris:length"), qlonglong(window_.TrackLength) * kMicro);
    // Without a copy (no folder for it), the hand-off file is better than nothing.
    if (coverShown_)
        m.insert(QStringLiteral("mpris:artUrl"),
                 fileUrl(art_.path().isEmpty() ? CoverSearch::coverPath() : art_.path()));
    return m;
}

double MprisPlayer::volume() const { return window_.ScSoftVol->value() / 100.0; }

void MprisPlayer::setVolume(double volume) {
    if (gone_ || !std::isfinite(volume)) return;
    // Moving the bar runs its change handler, which sets the decoder's volume.
    window_.ScSoftVol->setValue(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

qlonglong MprisPlayer::position() const {
    if (gone_) return 0;
    std::int32_t position = 0;
    VBMP3::vbmp3_getState(position);
    return qlonglong(position) * kMicro;
}

bool MprisPlayer::canPlay() const { return !window_.FileName.isEmpty(); }
bool MprisPlayer::canPause() const { return running(state_); }
bool MprisPlayer::canSeek() const { return running(state_) && window_.TrackLength > 0; }

// ---- requests ----

void MprisPlayer::PlayPause() {
    if (gone_) return;
    window_.cmdPlay_Click();
    update();
}

void MprisPlayer::Play() {
    if (gone_) return;
    if (frm_main::GetPlayState() != 1) window_.cmdPlay_Click();
    update();
}

void MprisPlayer::Pause() {
    if (gone_) return;
    if (frm_main::GetPlayState() == 1) window_.cmdPlay_Click();
    update();
}

void MprisPlayer::Stop() {
    if (gone_) return;
    window_.cmdStop_Click();
    update();
}

void MprisPlayer::Seek(qlonglong offset) {
    if (gone_) return;
    std::int32_t position = 0;
    VBMP3::vbmp3_getState(position);
    seekTo(position + static_cast<double>(offset) / kMicro);
}

void MprisPlayer::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    // A request for a track that is no longer the current one is stale.
    if (gone_ || trackId != this->trackId()) return;
    seekTo(static_cast<double>(position) / kMicro);
}

void MprisPlayer::seekTo(double seconds) {
    // The decoder seeks in whole seconds, within the track, while it plays or pauses.
    if (!running(frm_main::GetPlayState()) || window_.TrackLength <= 0) return;
    const double target = std::clamp(seconds, 0.0, static_cast<double>(window_.TrackLength));
    VBMP3::vbmp3_seek(static_cast<std::int32_t>(vel::RoundHalfEven(target)));
    update(true);
}

void MprisPlayer::OpenUri(const QString& uri) {
    if (gone_) return;
    const QUrl url(uri);
    if (!url.isLocalFile() || !vel::EndsWithMp3(QFile::encodeName(url.toLocalFile()).toStdString())) {
        if (service_.calledFromDBus())
            service_.sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("velplay opens local .mp3 files only"));
        return;
    }
    // As if the file were dropped onto the cover area.
    window_.pic_View_OLEDragDrop({url.toLocalFile()});
    update();
}

void MprisPlayer::walk(bool forward) {
    if (gone_) return;
    followFolder(true); // the folder as it is now, even if its watch has not told yet
    const QString target = forward ? neighbours_.next : neighbours_.previous;
    // As if the file were dropped onto the cover area.
    if (!target.isEmpty()) window_.pic_View_OLEDragDrop({target});
    update();
}

void MprisPlayer::followFolder(bool reread) {
    const QString folder = track_ != 0 && !gone_ ? QFileInfo(trackPath_).absolutePath() : QString();
    if (folder != folder_) {
        if (!folderWatch_.directories().isEmpty()) folderWatch_.removePaths(folderWatch_.directories());
        folder_ = folder;
        // Without a watch (the system's limit reached) the folder is still read at each request.
        if (!folder_.isEmpty() && QFileInfo(folder_).isDir()) folderWatch_.addPath(folder_);
        reread = true;
    }
    if (reread) folderFiles_ = folder_.isEmpty() ? QStringList() : mp3FilesIn(folder_);
    const FolderNeighbours names = neighboursOf(QFileInfo(trackPath_).fileName(), folderFiles_);
    const QDir dir(folder_);
    neighbours_ = {names.previous.isEmpty() ? QString() : dir.filePath(names.previous),
                   names.next.isEmpty() ? QString() : dir.filePath(names.next)};
}

void MprisPlayer::followCover() {
    if (coverShown_)
        art_.publish(CoverSearch::coverPath());
    else
        art_.remove();
}

// ---- readings ----

void MprisPlayer::update(bool seeked) {
    if (gone_) return;
    std::int32_t position = 0;
    const std::int32_t state = VBMP3::vbmp3_getState(position);
    observe(state, position, seeked);
}

void MprisPlayer::observe(std::int32_t state, std::int32_t position, bool seeked, bool polled) {
    const bool moved = state != state_ || position != position_;
    // Clients extrapolate the position while playing; tell them when it jumped
    // (a seek here, or a press on the progress bar) beyond what time explains.
    if (running(state) && running(state_) && sinceReading_.isValid()) {
        const double expected = position_ + (state_ == 1 ? sinceReading_.elapsed() / 1000.0 : 0.0);
        seeked = seeked || std::abs(position - expected) > 1.5;
    }
    state_ = state;
    position_ = position;
    sinceReading_.start();
    if (seeked && running(state)) emit Seeked(qlonglong(position) * kMicro);
    if (!polled || moved || seeked) notify();
}

void MprisPlayer::notify() {
    if (gone_) return;
    const QVariantMap now{{QStringLiteral("PlaybackStatus"), playbackStatus()},
                          {QStringLiteral("Metadata"), metadata()},
                          {QStringLiteral("Volume"), volume()},
                          {QStringLiteral("CanGoNext"), canGoNext()},
                          {QStringLiteral("CanGoPrevious"), canGoPrevious()},
                          {QStringLiteral("CanPlay"), canPlay()},
                          {QStringLiteral("CanPause"), canPause()},
                          {QStringLiteral("CanSeek"), canSeek()}};
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (sent_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    sent_ = now;
    service_.propertiesChanged(kInterface, changed);
}

} // namespace velplay
