#include "MprisRoot.h"

#include "desktop/WindowActivation.h"
#include "frm_main.h"

#include <QApplication>

namespace velplay {

MprisRoot::MprisRoot(frm_main& window, QObject* service) : QDBusAbstractAdaptor(service), window_(window) {}

void MprisRoot::Raise() { activateWindow(window_); }

void MprisRoot::Quit() {
    // A modal dialog (tag editor, about box, file dialog) goes first, as the
    // user would have to close it before reaching the close box.
    for (QWidget *modal = nullptr, *last = nullptr; (modal = QApplication::activeModalWidget()) && modal != last;
         last = modal)
        modal->close();
    QMetaObject::invokeMethod(&window_, &QWidget::close, Qt::QueuedConnection);
}

} // namespace velplay
