#include "MprisService.h"

#include "MprisPlayer.h"
#include "MprisRoot.h"
#include "frm_main.h"

#include <QDBusMessage>
#include <QFileInfo>

namespace velplay {
namespace {

// A session bus is there when its address is given or the user's runtime
// folder has one. Without either, no connection is tried, so that no bus
// daemon gets started on the player's behalf.
bool sessionBusPresent() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

MprisService::MprisService(frm_main& window) : bus_(QDBusConnection::sessionBus()) {
    // Adaptors belong to the exported object, as Qt D-Bus wants them.
    new MprisRoot(window, this);
    new MprisPlayer(window, *this);
    connect(&window, &frm_main::unloaded, this, [this] { withdraw(); });
}

std::unique_ptr<MprisService> MprisService::start(frm_main& window) {
    if (!sessionBusPresent() || !QDBusConnection::sessionBus().isConnected()) return nullptr;
    std::unique_ptr<MprisService> service(new MprisService(window));
    QDBusConnection& bus = service->bus_;
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), service.get(), QDBusConnection::ExportAdaptors))
        return nullptr;
    if (!bus.registerService(QString::fromLatin1(kServiceName))) {
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        return nullptr;
    }
    service->registered_ = true;
    return service;
}

MprisService::~MprisService() { withdraw(); }

void MprisService::withdraw() {
    if (!registered_) return;
    registered_ = false;
    bus_.unregisterService(QString::fromLatin1(kServiceName));
    bus_.unregisterObject(QString::fromLatin1(kObjectPath));
}

void MprisService::propertiesChanged(const QString& interface, const QVariantMap& changed) {
    if (!registered_ || changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    bus_.send(signal);
}

} // namespace velplay
