#include "JapaneseFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace velplay {

QStringList japaneseGothicFamilies() {
    return {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
            QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
            QStringLiteral("Droid Sans Fallback")};
}

QString japaneseGothicFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : japaneseGothicFamilies())
        if (installed.contains(family, Qt::CaseInsensitive)) return family;
    return {};
}

void useJapaneseFont() {
    // A family list is matched when text is first drawn: no need to read the
    // whole font list at start-up.
    QFont font = QApplication::font();
    font.setFamilies(japaneseGothicFamilies());
    font.setPointSizeF(9);
    QApplication::setFont(font);
}

} // namespace velplay
