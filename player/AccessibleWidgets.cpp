#include "AccessibleWidgets.h"

#include "ProgressBox.h"
#include "cover/CoverView.h"
#include "TextUtil.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

#include <algorithm>
#include <cmath>

namespace velplay {
namespace {

class ProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(ProgressBox* box) : QAccessibleWidget(box, QAccessible::Slider) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return QStringLiteral("再生位置");
        return QAccessibleWidget::text(t);
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QVariant currentValue() const override { return box()->positionSeconds(); }
    QVariant maximumValue() const override { return box()->lengthSeconds(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

    void setCurrentValue(const QVariant& value) override {
        bool ok = false;
        const double seconds = value.toDouble(&ok);
        if (!ok || !std::isfinite(seconds)) return;
        // Within the bar, as a click can only be; to the nearest second, halves to even as a click's.
        const double within = std::clamp(seconds, 0.0, static_cast<double>(std::max(box()->lengthSeconds(), 0)));
        emit box()->seekRequested(static_cast<int>(vel::RoundHalfEven(within)));
    }

private:
    ProgressBox* box() const { return static_cast<ProgressBox*>(widget()); }
};

// Qt owns what a factory returns and deletes it with the widget.
QAccessibleInterface* widgetFactory(const QString& key, QObject* object) {
    if (key == QLatin1String(ProgressBox::staticMetaObject.className()))
        if (auto* box = qobject_cast<ProgressBox*>(object)) return new ProgressAccessible(box);
    if (key == QLatin1String(CoverView::staticMetaObject.className()))
        if (auto* view = qobject_cast<CoverView*>(object)) return new QAccessibleWidget(view, QAccessible::Graphic);
    return nullptr;
}

} // namespace

void installAccessibleWidgets() {
    static const bool installed = [] {
        QAccessible::installFactory(widgetFactory);
        return true;
    }();
    (void)installed;
}

} // namespace velplay
