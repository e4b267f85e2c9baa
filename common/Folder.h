#pragma once
// A folder held open as a directory descriptor, and every file of it reached
// relative to that descriptor, never through a link. Once open, renaming or
// replacing the folder's path cannot redirect a read or a write.
//
// Private() is the one rule for the user's own state (the per-user hand-off
// folder, the answer cache, the pace files, the cover copy): the folder is
// made where missing (mode 0700), must be a real folder of this user's that
// nobody else can write, and anyone else's read access is taken away. A folder
// that fails is not usable: every operation then fails quietly.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vel {

// An open file descriptor, closed with its owner.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now; false when close reports an error (a write that failed late).
    bool close();

private:
    int fd_ = -1;
};

class Folder {
public:
    Folder() = default; // no folder: nothing usable

    // The rule for the user's own state. Every part of `path` that is missing
    // is made (mode 0700). In a folder that others can change, only a part of
    // root's or this user's is taken, and never a link (a link is followed
    // only where root or this user alone can have placed it); the folder
    // itself is never a link. It must be owned by this user and writable by
    // nobody else. An empty or relative path gives no usable folder.
    static Folder Private(const std::string& path);
    // The folder as it is (links followed, no owner check): the application
    // folder, where the programs themselves live.
    static Folder Plain(const std::string& path);

    bool usable() const { return static_cast<bool>(fd_); }
    int fd() const { return fd_.get(); }
    // As named, also when not usable.
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Opens the file `name` (one name, no '/') of the folder, never through a
    // link (O_NOFOLLOW and O_CLOEXEC are added). Not usable on failure.
    UniqueFd open(const std::string& name, int flags, mode_t mode = 0600) const;
    // The whole content of a regular file of at most `maxBytes`; nothing for
    // anything else (missing, a link, not a file, larger, unreadable).
    std::optional<std::vector<std::uint8_t>> read(const std::string& name, std::size_t maxBytes) const;
    // Replaces the file's content whole: written into a file without a name,
    // which is named only for the rename that puts it in place, with SIGTERM,
    // SIGINT and SIGHUP held meanwhile; so a reader sees the old content or the
    // new, and a program ended at any moment leaves no temporary file. Where
    // the file system cannot make nameless files, a named temporary file
    // "<name>.XXXXXX" is written and renamed. False (the old file unchanged)
    // when it could not be written.
    bool replace(const std::string& name, std::span<const std::uint8_t> bytes, mode_t mode = 0644) const;
    // Removes the file (or a link of that name; never what it points to).
    bool remove(const std::string& name) const;
    // The entry's own status (a link's, not its target's).
    std::optional<struct stat> status(const std::string& name) const;
    bool isFile(const std::string& name) const;
    // The names in the folder, "." and ".." left out.
    std::vector<std::string> names() const;

    // Leftover temporary files of replace() for these targets' names.
    static bool isTemporaryOf(const std::string& name, const std::string& target);

private:
    Folder(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    UniqueFd fd_;
    std::string path_;
};

} // namespace vel
