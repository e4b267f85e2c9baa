#pragma once
// What a screen reader hears of the controls that show no text of their own:
// the progress bar follows the play position and seeks as a click does, the
// volume bar takes the name of its "VOLUME" label, and the cover area is named
// after the album on show.

namespace velplay {

class frm_main;

// Once, when the window has been built.
void attachAccessibility(frm_main& form);

} // namespace velplay
