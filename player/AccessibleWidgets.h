#pragma once
// How assistive technology sees the widgets that draw themselves:
// - the progress bar is a slider named 「再生位置」 whose value is the play
//   position in seconds, from 0 to the track's length; setting the value asks
//   the bar to seek there;
// - the cover area is an image (named and described by the window as the
//   cover changes), not a blank filler.

namespace velplay {

// Registers the interfaces with Qt's accessibility; once is enough, more is harmless.
// Must run before anything asks for such a widget's interface, which Qt caches.
void installAccessibleWidgets();

} // namespace velplay
