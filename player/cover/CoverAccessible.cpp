#include "CoverAccessible.h"

#include "CoverView.h"

#include <QAccessibleWidget>

namespace velplay {
namespace {

QAccessibleInterface* coverFactory(const QString& key, QObject* object) {
    if (key != QLatin1String(CoverView::staticMetaObject.className())) return nullptr;
    auto* view = qobject_cast<CoverView*>(object);
    // Qt owns what a factory returns and deletes it with the widget.
    return view ? new QAccessibleWidget(view, QAccessible::Graphic) : nullptr;
}

} // namespace

void installCoverAccessible() {
    static const bool installed = [] {
        QAccessible::installFactory(coverFactory);
        return true;
    }();
    (void)installed;
}

} // namespace velplay
