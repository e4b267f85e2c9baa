#pragma once
// Test support for the X tests, shared by the player's suites.
#include <QDeadlineTimer>
#include <QString>

#include <poll.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>

namespace veltest {

// Wakes a wait on what the X server reports: windows made, renamed, focused or gone.
class XEvents {
public:
    explicit XEvents(const QString& display) : c_(xcb_connect(display.toUtf8().constData(), nullptr), &xcb_disconnect) {
        if (xcb_connection_has_error(c_.get())) return; // every wait then fails at once
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_.get(), xcb_setup_roots_iterator(xcb_get_setup(c_.get())).data->root,
                                     XCB_CW_EVENT_MASK, &mask);
        roundTrip(); // in force before any window the caller starts next is made
    }
    // Checks `done` again after every event until it holds; false when `ms` pass first.
    bool waitUntil(const std::function<bool()>& done, int ms) {
        for (QDeadlineTimer ceiling(ms);;) {
            roundTrip(); // what was selected so far is in force before the check
            if (done()) return true;
            if (ceiling.hasExpired() || xcb_connection_has_error(c_.get())) return false;
            if (!take(xcb_poll_for_queued_event(c_.get()))) {
                pollfd fd{xcb_get_file_descriptor(c_.get()), POLLIN, 0};
                if (poll(&fd, 1, int(ceiling.remainingTime())) <= 0) return false;
            }
            while (take(xcb_poll_for_event(c_.get()))) {
            }
        }
    }

private:
    void roundTrip() { std::free(xcb_get_input_focus_reply(c_.get(), xcb_get_input_focus(c_.get()), nullptr)); }

    // A new window's name and focus are news too.
    bool take(xcb_generic_event_t* e) {
        if (!e) return false;
        if ((e->response_type & 0x7f) == XCB_CREATE_NOTIFY) {
            const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_FOCUS_CHANGE;
            xcb_change_window_attributes(c_.get(), reinterpret_cast<xcb_create_notify_event_t*>(e)->window,
                                         XCB_CW_EVENT_MASK, &mask);
        }
        std::free(e);
        return true;
    }

    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c_;
};

} // namespace veltest
