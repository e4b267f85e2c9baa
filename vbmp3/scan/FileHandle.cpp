#include "FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace vbmp3 {

FileHandle openRegularFile(const char* path, int flags) {
    if (!path || !*path) return {};
    // O_NONBLOCK so that a FIFO given as a path cannot hang the caller; it is
    // cleared again once the file is known to be a regular file.
    FileHandle fd(::open(path, flags | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return {};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    int fl = ::fcntl(fd.get(), F_GETFL);
    if (fl != -1) ::fcntl(fd.get(), F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

namespace {

// pread and pwrite may move fewer bytes than asked or be interrupted: go on
// until every byte has moved; false at an error or the end of the file.
template <typename Byte, typename Io>
bool allAt(int fd, Byte* p, size_t n, off_t offset, Io io) {
    while (n > 0) {
        const ssize_t moved = io(fd, p, n, offset);
        if (moved < 0 && errno == EINTR) continue;
        if (moved <= 0) return false;
        p += moved;
        n -= static_cast<size_t>(moved);
        offset += moved;
    }
    return true;
}

} // namespace

bool readAt(int fd, void* buf, size_t n, off_t offset) {
    return allAt(fd, static_cast<unsigned char*>(buf), n, offset, ::pread);
}

bool writeAt(int fd, const void* buf, size_t n, off_t offset) {
    return allAt(fd, static_cast<const unsigned char*>(buf), n, offset, ::pwrite);
}

} // namespace vbmp3
