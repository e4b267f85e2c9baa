#pragma once
// The user's session bus, for the services the player offers on it.
#include <QDBusConnection>
#include <QString>

class QObject;

namespace velplay {

// A session bus is there when its address is given or the user's runtime
// folder has one. Without either, no connection is tried, so that no bus
// daemon gets started on the player's behalf.
bool sessionBusPresent();

// Puts `object` on the session bus at `path` under the well-known `name`.
// False, with nothing left registered, when there is no bus or the name is
// taken (another program has it).
bool exportOnSessionBus(QObject& object, const QString& name, const QString& path,
                        QDBusConnection::RegisterOptions options);
// Takes them off again.
void withdrawFromSessionBus(const QString& name, const QString& path);

} // namespace velplay
