#pragma once
// The cover on show under an address of its own, for the desktop's media
// controls: the hand-off file keeps one name for every cover, and applets that
// keep pictures by address would go on showing the first one.
#include "Folder.h"

#include <QString>

namespace velplay {

class ArtCopy {
public:
    // Copies live in `folder`; empty: defaultFolder(). The folder is opened
    // by the private-folder rule (vel::Folder::Private) for each new copy.
    explicit ArtCopy(QString folder = {});
    ~ArtCopy(); // the copy goes with the player
    ArtCopy(const ArtCopy&) = delete;
    ArtCopy& operator=(const ArtCopy&) = delete;

    // Copies `picture` to "cover-<hash of its bytes>.jpg" and removes the
    // previous copy. The copy's path; empty when there is none.
    QString publish(const QString& picture);
    // Removes the copy, if any.
    void remove();
    const QString& path() const { return path_; }

    // The user's private folder, as for the hand-off files (vel::userFolder);
    // empty when there is none, and then no copy is made.
    static QString defaultFolder();

private:
    QString folder_;
    vel::Folder open_; // the folder the copy was made in
    std::string name_; // the copy's name there
    QString path_;
};

} // namespace velplay
