#include "MprisRoot.h"

#include "desktop/CloseLikeCloseBox.h"
#include "desktop/WindowActivation.h"
#include "frm_main.h"

namespace velplay {

MprisRoot::MprisRoot(frm_main& window, QObject* service) : QDBusAbstractAdaptor(service), window_(window) {}

void MprisRoot::Raise() { activateWindow(window_); }

void MprisRoot::Quit() { closeLikeCloseBox(window_); }

} // namespace velplay
