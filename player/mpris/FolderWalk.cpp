#include "FolderWalk.h"

#include "TextUtil.h"

#include <QDirIterator>

namespace velplay {
namespace {

// The end of the run of digits that starts at `from`, and where its value
// starts (after leading zeros).
struct DigitRun {
    qsizetype valueFrom, end;
};
DigitRun digitRun(QStringView s, qsizetype from) {
    qsizetype valueFrom = from;
    while (valueFrom < s.size() && s[valueFrom].isDigit() && s[valueFrom].digitValue() == 0) ++valueFrom;
    qsizetype end = valueFrom;
    while (end < s.size() && s[end].isDigit()) ++end;
    return {valueFrom, end};
}

// <0, 0, >0 as a comes before, with, after b in natural order.
int naturalCompare(QStringView a, QStringView b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const DigitRun x = digitRun(a, i), y = digitRun(b, j);
            // Without leading zeros, the longer number is the larger; of equal
            // length, the first differing digit decides. No overflow at any length.
            const qsizetype xLength = x.end - x.valueFrom, yLength = y.end - y.valueFrom;
            if (xLength != yLength) return xLength < yLength ? -1 : 1;
            for (qsizetype k = 0; k < xLength; ++k) {
                const int d = a[x.valueFrom + k].digitValue() - b[y.valueFrom + k].digitValue();
                if (d != 0) return d;
            }
            i = x.end;
            j = y.end;
            continue;
        }
        const char16_t p = QChar::toCaseFolded(a[i].unicode()), q = QChar::toCaseFolded(b[j].unicode());
        if (p != q) return p < q ? -1 : 1;
        ++i;
        ++j;
    }
    const qsizetype restA = a.size() - i, restB = b.size() - j;
    return restA == restB ? 0 : (restA < restB ? -1 : 1);
}

} // namespace

bool naturalLess(const QString& a, const QString& b) {
    const int c = naturalCompare(a, b);
    return c != 0 ? c < 0 : a < b;
}

QStringList mp3FilesIn(const QString& folder) {
    // The name filter comes before the file-type test, so only the MP3 files are looked at.
    QDirIterator it(folder, {QStringLiteral("*.mp3")}, QDir::Files);
    QStringList names;
    while (it.hasNext()) {
        const QString name = it.nextFileInfo().fileName();
        // The drop's own test, so that every file found here also loads.
        if (vel::EndsWithMp3(name.toStdString())) names << name;
    }
    return names;
}

FolderNeighbours neighboursOf(const QString& name, const QStringList& names) {
    // One pass for the nearest on either side; no sorting of the whole folder.
    FolderNeighbours found;
    for (const QString& other : names) {
        if (naturalLess(other, name)) {
            if (found.previous.isEmpty() || naturalLess(found.previous, other)) found.previous = other;
        } else if (naturalLess(name, other)) {
            if (found.next.isEmpty() || naturalLess(other, found.next)) found.next = other;
        }
    }
    return found;
}

} // namespace velplay
