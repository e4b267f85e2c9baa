#include "SessionBus.h"

#include <QFileInfo>

namespace velplay {

bool sessionBusPresent() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

bool exportOnSessionBus(QObject& object, const QString& name, const QString& path,
                        QDBusConnection::RegisterOptions options) {
    if (!sessionBusPresent()) return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(path, &object, options)) return false;
    if (bus.registerService(name)) return true;
    bus.unregisterObject(path);
    return false;
}

void withdrawFromSessionBus(const QString& name, const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(name);
    bus.unregisterObject(path);
}

} // namespace velplay
