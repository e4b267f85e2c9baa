#pragma once
// One player per user: a lock file in the user's runtime folder. The lock
// belongs to the process holding it, so a crashed player leaves no lasting lock.
#include <QString>

#include <memory>

class QLockFile;

namespace velplay {

// The lock file of this user's player.
QString instanceLockPath();

// The held lock, or null when another running player holds it. A lock that
// cannot be created at all (unwritable folder) does not count as another
// player: the caller gets an empty lock object and goes on.
std::unique_ptr<QLockFile> acquireInstanceLock(const QString& path, bool& otherInstance);

} // namespace velplay
