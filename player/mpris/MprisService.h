#pragma once
// velplay as a media player on the session bus (MPRIS 2), so that media keys,
// the desktop's "now playing" applet and playerctl reach the window's own handlers.
#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QVariantMap>

#include <memory>

namespace velplay {

class frm_main;

// The exported object; Qt D-Bus gives the context of a call (for error
// replies) to it rather than to its adaptors.
class MprisService : public QObject, public QDBusContext {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.velplay";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    // Serves `window` on the session bus until the window unloads. Null when
    // there is no session bus or another program holds the name: the player
    // then runs without it, silently.
    static std::unique_ptr<MprisService> start(frm_main& window);
    ~MprisService() override;

    // Tells the bus that properties of one interface have new values.
    void propertiesChanged(const QString& interface, const QVariantMap& changed);

private:
    explicit MprisService(frm_main& window);
    void withdraw();

    QDBusConnection bus_;
    bool registered_ = false;
};

} // namespace velplay
