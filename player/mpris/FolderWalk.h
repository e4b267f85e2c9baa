#pragma once
// The MP3 files beside a track, for "next" and "previous": the folder is read
// afresh each time, so files added or removed meanwhile count.
#include <QString>

namespace velplay {

// Natural order of file names: runs of digits compare by their value
// ("2" before "10"), everything else by case-folded character. Names equal in
// that sense ("01" and "1", "A" and "a") are told apart by plain comparison, so
// the order is total and a walk never skips or repeats a file.
bool naturalLess(const QString& a, const QString& b);

// The files named *.mp3 (any letter case) in the folder of `track`, nearest
// before and after its name in natural order; empty where there is none. The
// track itself need not exist any more.
struct FolderNeighbours {
    QString previous, next; // absolute paths
};
FolderNeighbours folderNeighbours(const QString& track);

} // namespace velplay
