#pragma once
// The org.mpris.MediaPlayer2.Player interface. Every request goes through the
// window's own handlers (PLAY, STOP, the volume bar, a drop), so the buttons'
// state table stays the one road; the properties follow the window's 100 ms poll.
// Next and previous walk the MP3 files of the current track's folder.
#include "ArtCopy.h"
#include "FolderWalk.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QVariantMap>

#include <cstdint>

namespace velplay {

class frm_main;
class MprisService;

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ yes)
public:
    MprisPlayer(frm_main& window, MprisService& service);

    QString playbackStatus() const;
    double rate() const { return 1.0; }
    void setRate(double) {} // one speed only
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const;
    bool yes() const { return true; }
    bool canGoNext() const { return !neighbours_.next.isEmpty(); }
    bool canGoPrevious() const { return !neighbours_.previous.isEmpty(); }
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;

public slots:
    void Next() { walk(true); }
    void Previous() { walk(false); }
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
    void OpenUri(const QString& uri);

signals:
    void Seeked(qlonglong position);

private:
    // Takes a fresh reading of the decoder after a request has run.
    void update(bool seeked = false);
    // Takes a reading: remembers it, reports a jump of the position, sends changed
    // properties; for the window's ten polls a second (`polled`) only when the
    // state or the position moved, since the rest comes with signals of its own.
    void observe(std::int32_t state, std::int32_t position, bool seeked, bool polled = false);
    void notify();
    QDBusObjectPath trackId() const;
    void seekTo(double seconds);
    // Copies the cover on show to an address of its own, or removes the copy.
    void followCover();
    // Watches the current track's folder and finds the track's neighbours
    // there, reading the folder again when asked to or when it is another.
    void followFolder(bool reread);
    // Loads the next (or previous) MP3 of the folder as it is now, as a drop does.
    void walk(bool forward);

    frm_main& window_;
    MprisService& service_;
    bool gone_ = false;        // the window unloaded: the decoder must not be called again
    std::int32_t state_ = 0;   // as last seen: 0 stopped, 1 playing, 2 paused
    std::int32_t position_ = 0;
    QElapsedTimer sinceReading_;
    quint64 track_ = 0;        // counts the tracks shown; 0: none yet
    QString trackPath_;        // the file of the track shown, absolute
    QString trackUrl_;         // and as a file:// URI
    QString folder_;              // its folder
    QStringList folderFiles_;     // the MP3 files there, when last read
    FolderNeighbours neighbours_; // the track's neighbours among them, as absolute paths
    QFileSystemWatcher folderWatch_; // the folder: files added or removed
    bool coverShown_ = false;  // a cover is on show for the current track
    ArtCopy art_;              // its copy, the address given as mpris:artUrl
    QVariantMap sent_;         // the property values the bus last heard
};

} // namespace velplay
