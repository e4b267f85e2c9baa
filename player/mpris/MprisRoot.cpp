#include "MprisRoot.h"

#include "desktop/CloseLikeCloseBox.h"
#include "frm_main.h"

namespace velplay {

MprisRoot::MprisRoot(frm_main& window, QObject* service) : QDBusAbstractAdaptor(service), window_(window) {}

void MprisRoot::Raise() {
    if (window_.isMinimized()) window_.showNormal();
    window_.raise();
    window_.activateWindow();
}

void MprisRoot::Quit() { closeLikeCloseBox(window_); }

} // namespace velplay
