#pragma once
// Closing the player from outside (MPRIS Quit, SIGTERM) takes the close box's road.
class QWidget;

namespace velplay {

// Closes the open modal dialogs (tag editor, about box, file dialog) first, as
// the user would have to before reaching the close box, then the window,
// from the event loop: its close runs the shutdown steps.
void closeLikeCloseBox(QWidget& window);

} // namespace velplay
