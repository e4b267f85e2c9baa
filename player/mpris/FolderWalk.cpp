#include "FolderWalk.h"

#include "TextUtil.h"

#include <QDir>
#include <QFileInfo>

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

FolderNeighbours folderNeighbours(const QString& track) {
    const QFileInfo info(track);
    const QString name = info.fileName();
    const QDir folder = info.absoluteDir();
    QString before, after;
    // One pass for the nearest on either side; no sorting of the whole folder.
    for (const QString& entry : folder.entryList(QDir::Files, QDir::NoSort)) {
        // The drop's own test, so that every file found here also loads.
        if (!vel::EndsWithMp3(entry.toStdString())) continue;
        if (naturalLess(entry, name)) {
            if (before.isEmpty() || naturalLess(before, entry)) before = entry;
        } else if (naturalLess(name, entry)) {
            if (after.isEmpty() || naturalLess(entry, after)) after = entry;
        }
    }
    return {before.isEmpty() ? QString() : folder.filePath(before),
            after.isEmpty() ? QString() : folder.filePath(after)};
}

} // namespace velplay
