#pragma once
// The MP3 files beside a track, for "next" and "previous".
#include <QString>
#include <QStringList>

namespace velplay {

// Natural order of file names: runs of digits compare by their value
// ("2" before "10"), everything else by case-folded character. Names equal in
// that sense ("01" and "1", "A" and "a") are told apart by plain comparison, so
// the order is total and a walk never skips or repeats a file.
bool naturalLess(const QString& a, const QString& b);

// The names of the files in `folder` that end in .mp3 (any letter case), in no
// particular order; hidden files and folders are left out.
QStringList mp3FilesIn(const QString& folder);

// Among `names`, the nearest before and after `name` in natural order; empty
// where there is none. `name` itself need not be among them (a track removed
// meanwhile keeps its place).
struct FolderNeighbours {
    QString previous, next;
};
FolderNeighbours neighboursOf(const QString& name, const QStringList& names);

} // namespace velplay
