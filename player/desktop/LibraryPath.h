#pragma once
// A path as the decoder library takes it.
#include <QString>

#include <string>

namespace velplay {

// Trimmed of blanks at both ends, in the file system's own encoding.
std::string libraryPath(const QString& path);

} // namespace velplay
