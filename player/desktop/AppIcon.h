#pragma once
// The program's icon, built into the player.
#include <QIcon>

namespace velplay {

QIcon appIcon();

} // namespace velplay
