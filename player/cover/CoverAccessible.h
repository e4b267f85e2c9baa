#pragma once
// How assistive technology sees the cover area: a picture (an image, not a
// blank filler), named and described by the window as the cover changes.

namespace velplay {

// Registers the interface with Qt's accessibility; once is enough, more is harmless.
// Must run before anything asks for a cover area's interface, which Qt caches.
void installCoverAccessible();

} // namespace velplay
