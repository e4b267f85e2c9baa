#include "InstanceLock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

namespace velplay {

QString instanceLockPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) // no runtime folder: a per-user name in the shared temporary folder
        return QDir::tempPath() + QStringLiteral("/velplay-%1.lock").arg(getuid());
    return dir + QStringLiteral("/velplay.lock");
}

std::unique_ptr<QLockFile> acquireInstanceLock(const QString& path, bool& otherInstance) {
    auto lock = std::make_unique<QLockFile>(path);
    // Never stale by age, only when its owner process has gone.
    lock->setStaleLockTime(0);
    otherInstance = false;
    if (lock->tryLock(0)) return lock;
    if (lock->error() == QLockFile::LockFailedError) {
        otherInstance = true;
        return nullptr;
    }
    return lock; // not held, but nothing says another player runs
}

} // namespace velplay
