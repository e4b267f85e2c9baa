#pragma once
// The open-file dialog: a filter written with "|" separators becomes
// NUL-separated description/pattern pairs, which the dialog shows as its filters.
#include <QString>
#include <QStringList>

class QWidget;

namespace velplay {

// Dialog flags as callers pass them.
constexpr int OFN_OVERWRITEPROMPT = 0x2;  // only meaningful for saving
constexpr int OFN_HIDEREADONLY = 0x4;     // the dialog never offers a read-only box
constexpr int OFN_FILEMUSTEXIST = 0x1000; // without it a typed name of a missing file is accepted

// Every "|" replaced by a NUL character.
QString PipesToNul(const QString& text);

// NUL-separated pairs (description, patterns separated by ";") as Qt name filters.
QStringList NameFiltersFromPairs(const QString& pairs);

// Shows the modal dialog titled "ファイルを開く". `filter` comes back converted by
// PipesToNul. Returns the chosen path without leading and trailing spaces, or an
// empty text when nothing was chosen.
QString ShowOpenDialog(QWidget* owner, const QString& initialDir, QString& filter, int flags);

} // namespace velplay
