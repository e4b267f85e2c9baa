#include "CloseLikeCloseBox.h"

#include <QApplication>
#include <QWidget>

namespace velplay {

void closeLikeCloseBox(QWidget& window) {
    for (QWidget *modal = nullptr, *last = nullptr; (modal = QApplication::activeModalWidget()) && modal != last;
         last = modal)
        modal->close();
    QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
}

} // namespace velplay
