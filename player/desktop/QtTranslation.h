#pragma once
// Qt's own texts (standard buttons, the file dialog, context menus) in the
// user's language.
#include <QLocale>

class QTranslator;

namespace velplay {

// Installs Qt's translation for `locale` from Qt's translations folder (Debian:
// qt6-translations-l10n) on the application and returns it (the application
// owns it); null when none is installed.
QTranslator* loadQtTranslation(const QLocale& locale = QLocale::system());

} // namespace velplay
