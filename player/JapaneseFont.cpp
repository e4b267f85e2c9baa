#include "JapaneseFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace velplay {

QString japaneseGothicFamily() {
    static const char16_t* const preferred[] = {
        u"ＭＳ Ｐゴシック", u"MS PGothic", u"IPAPGothic", u"IPA Pゴシック", u"IPAGothic",
        u"Noto Sans CJK JP", u"VL PGothic", u"Droid Sans Fallback",
    };
    const QStringList installed = QFontDatabase::families();
    for (const char16_t* name : preferred) {
        const QString family = QString::fromUtf16(name);
        if (installed.contains(family, Qt::CaseInsensitive)) return family;
    }
    return {};
}

void useJapaneseFont() {
    const QString family = japaneseGothicFamily();
    if (family.isEmpty()) return;
    QFont font(family);
    font.setPointSizeF(9);
    QApplication::setFont(font);
}

} // namespace velplay
