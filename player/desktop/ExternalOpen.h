#pragma once
// Hands a web address or a local file to the desktop's opener.
#include <QUrl>

namespace velplay {

// Starts xdg-open detached, so the viewer or browser never stays behind as the
// player's unreaped child, with its console output going nowhere instead of
// onto the player's standard error. Without xdg-open, Qt's own way is taken.
bool openExternally(const QUrl& url);

} // namespace velplay
