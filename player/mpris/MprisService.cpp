#include "MprisService.h"

#include "MprisPlayer.h"
#include "MprisRoot.h"
#include "frm_main.h"

#include "desktop/SessionBus.h"

#include <QDBusMessage>

namespace velplay {

MprisService::MprisService(frm_main& window) : bus_(QDBusConnection::sessionBus()) {
    // Adaptors belong to the exported object, as Qt D-Bus wants them.
    new MprisRoot(window, this);
    new MprisPlayer(window, *this);
    connect(&window, &frm_main::unloaded, this, [this] { withdraw(); });
}

std::unique_ptr<MprisService> MprisService::start(frm_main& window) {
    if (!sessionBusPresent()) return nullptr;
    std::unique_ptr<MprisService> service(new MprisService(window));
    service->registered_ = exportOnSessionBus(*service, QString::fromLatin1(kServiceName),
                                              QString::fromLatin1(kObjectPath), QDBusConnection::ExportAdaptors);
    if (!service->registered_) return nullptr;
    return service;
}

MprisService::~MprisService() { withdraw(); }

void MprisService::withdraw() {
    if (!registered_) return;
    registered_ = false;
    withdrawFromSessionBus(QString::fromLatin1(kServiceName), QString::fromLatin1(kObjectPath));
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
