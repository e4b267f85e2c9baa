#pragma once
// The org.mpris.MediaPlayer2 interface: who the player is, Raise and Quit.
#include <QDBusAbstractAdaptor>
#include <QStringList>

namespace velplay {

class frm_main;

class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)
public:
    MprisRoot(frm_main& window, QObject* service);

    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Velmora"); }
    QString desktopEntry() const { return QStringLiteral("velplay"); }
    QStringList uriSchemes() const { return {QStringLiteral("file")}; }
    QStringList mimeTypes() const { return {QStringLiteral("audio/mpeg")}; }

public slots:
    void Raise();
    // Closes the window as its close box does, once the reply is on its way.
    void Quit();

private:
    frm_main& window_;
};

} // namespace velplay
