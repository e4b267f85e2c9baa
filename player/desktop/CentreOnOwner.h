#pragma once
// Places a dialog so that its client area is centred on its owner's.
class QWidget;

namespace velplay {

// Client geometry, not the frame: the window manager adds its title bar
// outside, and centring the frame would put the dialog that much too high.
void centreOnOwner(QWidget& dialog, const QWidget& owner);

} // namespace velplay
