#include "WindowActivation.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace velplay {
namespace {

// The X server time of the user's action: "_TIME<n>" in the identifier; 0 when absent.
quint32 startupTime(const QString& startupId) {
    static const QRegularExpression time(QStringLiteral("_TIME([0-9]+)"));
    bool ok = false;
    const quint32 t = time.match(startupId).captured(1).toUInt(&ok);
    return ok ? t : 0;
}

template <typename Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

// _NET_ACTIVE_WINDOW as an application sends it, but stamped with the time of
// the user's action rather than the player's own last input, which is what a
// window manager's focus-stealing prevention weighs (Qt offers no public way
// to give it that time). False when this is no X11 display.
bool requestActiveWindowAt(QWidget& window, quint32 time) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    const auto id = static_cast<xcb_window_t>(window.winId());
    static const char name[] = "_NET_ACTIVE_WINDOW";
    XcbReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr), &std::free);
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, id), nullptr), &std::free);
    if (!atom || !tree) return false;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = atom->atom;
    event.data.data32[0] = 1; // source: an application
    event.data.data32[1] = time;
    xcb_send_event(c, 0, tree->root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    return true;
}

} // namespace

Activation activationFromEnvironment() {
    return {qEnvironmentVariable("XDG_ACTIVATION_TOKEN"), qEnvironmentVariable("DESKTOP_STARTUP_ID")};
}

void activateWindow(QWidget& window, const Activation& activation) {
    if (window.isMinimized()) window.showNormal();
    window.raise();
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        if (!activation.token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activation.token.toUtf8());
        window.activateWindow();
        // Spent either way; the programs the player starts must not inherit it.
        qunsetenv("XDG_ACTIVATION_TOKEN");
        return;
    }
    const quint32 time = startupTime(activation.startupId);
    if (time != 0 && requestActiveWindowAt(window, time)) return;
    window.activateWindow();
}

} // namespace velplay
