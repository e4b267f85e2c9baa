#include "ArtCopy.h"

#include "HandoffFolder.h"

#include <QCryptographicHash>
#include <QFile>

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
    const std::string name = "cover-" + digest.toHex().left(16).toStdString() + ".jpg";
    if (name == name_ && open_.isFile(name_)) return path_;

    remove();
    if (folder_.isEmpty()) return {};
    // The folder is the user's alone: nobody else learns what they listen to,
    // nor puts a link where the copy goes.
    open_ = vel::Folder::Private(QFile::encodeName(folder_).toStdString());
    const std::span<const std::uint8_t> content(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                std::size_t(bytes.size()));
    if (!open_.replace(name, content, 0600)) return {};
    name_ = name;
    path_ = folder_ + u'/' + QString::fromStdString(name);
    return path_;
}

void ArtCopy::remove() {
    if (name_.empty()) return;
    open_.remove(name_);
    name_.clear();
    path_.clear();
}

} // namespace velplay
