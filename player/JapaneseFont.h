#pragma once
// The Japanese gothic face for every caption, so that no text shows as boxes.
#include <QString>

namespace velplay {

// The first installed of the preferred Japanese gothic faces, or an empty text.
QString japaneseGothicFamily();

// Makes the application font that face at 9 points, when one is installed.
void useJapaneseFont();

} // namespace velplay
