#include "LibraryPath.h"

#include "TextUtil.h"

#include <QFile>

namespace velplay {

std::string libraryPath(const QString& path) {
    const QString trimmed = QString::fromStdU16String(vel::TrimSpaces(path.toStdU16String()));
    return QFile::encodeName(trimmed).toStdString();
}

} // namespace velplay
