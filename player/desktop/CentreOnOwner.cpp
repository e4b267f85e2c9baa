#include "CentreOnOwner.h"

#include <QRect>
#include <QWidget>

namespace velplay {

void centreOnOwner(QWidget& dialog, const QWidget& owner) {
    const QPoint centre = owner.mapToGlobal(owner.rect().center());
    QRect area(QPoint(), dialog.size());
    area.moveCenter(centre);
    dialog.setGeometry(area);
}

} // namespace velplay
