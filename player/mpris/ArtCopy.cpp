#include "ArtCopy.h"

#include "HandoffFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace velplay {

ArtCopy::ArtCopy(QString folder) : folder_(folder.isEmpty() ? defaultFolder() : std::move(folder)) {}

ArtCopy::~ArtCopy() { remove(); }

QString ArtCopy::defaultFolder() { return QString::fromStdString(vel::userFolder()); }

QString ArtCopy::publish(const QString& picture) {
    QFile in(picture);
    if (!in.open(QIODevice::ReadOnly)) {
        remove();
        return {};
    }
    const QByteArray bytes = in.readAll();
    // The name changes with the picture, and only with it.
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    const QString hash = QString::fromLatin1(digest.toHex().left(16));
    const QString path = folder_ + QStringLiteral("/cover-") + hash + QStringLiteral(".jpg");
    if (path == path_ && QFile::exists(path)) return path_;

    remove();
    if (folder_.isEmpty()) return {};
    // A folder made here is the user's alone: nobody else learns what they listen to.
    if (!QDir(folder_).exists()) {
        if (!QDir().mkpath(folder_)) return {};
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) return {};
    path_ = path;
    return path_;
}

void ArtCopy::remove() {
    if (path_.isEmpty()) return;
    QFile::remove(path_);
    path_.clear();
}

} // namespace velplay
