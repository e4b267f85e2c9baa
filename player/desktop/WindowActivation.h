#pragma once
// Bringing the window forward for another start of the player. Desktops let a
// window take the focus only on the user's own request; the launcher proves
// that request to the program it starts, which passes the proof on to us.
#include <QString>

class QWidget;

namespace velplay {

struct Activation {
    QString token;     // XDG_ACTIVATION_TOKEN: Wayland's proof
    QString startupId; // DESKTOP_STARTUP_ID: X11's, with the time of the user's action
};

// This process's, from its environment. Call it before the QApplication is
// made: Qt's X11 support takes the startup identifier out of the environment.
Activation activationFromEnvironment();

// Restores and raises `window` and asks for the focus: under Wayland with the
// token, which Qt's own xdg-activation support takes from the environment;
// under X11 at the time of the user's action the startup identifier carries;
// elsewhere, or without either, as Qt does.
void activateWindow(QWidget& window, const Activation& activation = {});

} // namespace velplay
