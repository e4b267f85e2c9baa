#pragma once
// How assistive technology sees the progress bar: a slider named 「再生位置」
// whose value is the play position in seconds, from 0 to the track's length.
// Setting the value asks the bar to seek there.

namespace velplay {

// Registers the interface with Qt's accessibility; once is enough, more is harmless.
// Must run before anything asks for a progress bar's interface, which Qt caches.
void installProgressAccessible();

} // namespace velplay
