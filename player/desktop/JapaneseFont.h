#pragma once
// The Japanese gothic face for every caption, so that no text shows as boxes.
#include <QString>
#include <QStringList>

namespace velplay {

// The faces to try, best first.
QStringList japaneseGothicFamilies();

// The first installed of those faces, or an empty text (reads the whole font list: slow).
QString japaneseGothicFamily();

// Makes the application font the first installed of those faces at 9 points.
void useJapaneseFont();

} // namespace velplay
