#pragma once
// One player, many files: a second start of velplay, refused because a player
// runs, first hands its file to that player over the session bus, with the
// launcher's proof that the user asked (so the player may come forward).
//
// A small interface of our own rather than MPRIS's OpenUri: it carries that
// proof, takes any file as a drop does (OpenUri refuses what is not .mp3), and
// lives under the player's own name, which no other media player can hold.
#include "WindowActivation.h"

#include <QObject>
#include <QVariantMap>

#include <memory>

namespace velplay {

class frm_main;

// The refused start's side. `commandLine` as the player takes it (the
// arguments joined); a relative path is made absolute here, as the running
// player has another working folder. Waits a little for a player that holds
// the lock but is not on the bus yet (it is still starting). False when
// nothing was handed over: no file, no session bus, or no player answered.
bool handOffToRunningPlayer(const QString& commandLine, const Activation& activation);

// The running player's side, until its window unloads.
class HandoffService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "jp.example.velmora.velplay.Handoff")
public:
    static constexpr const char* kServiceName = "jp.example.velmora.velplay";
    static constexpr const char* kObjectPath = "/jp/example/velmora/velplay";

    // Null when there is no session bus or the name is taken.
    static std::unique_ptr<HandoffService> start(frm_main& window);
    ~HandoffService() override;

public slots:
    // Loads `path` as a drop of it onto the cover area does and brings the
    // window forward; `platformData` may hold "activation-token" and
    // "desktop-startup-id" (the keys freedesktop's Application interface uses).
    // Both happen after the reply, so the caller is never kept waiting.
    void Open(const QString& path, const QVariantMap& platformData);

private:
    explicit HandoffService(frm_main& window);
    void withdraw();

    frm_main& window_;
    bool registered_ = false;
    bool gone_ = false; // the window unloaded
};

} // namespace velplay
