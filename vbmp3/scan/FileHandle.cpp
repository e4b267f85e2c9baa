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

bool readAt(int fd, void* buf, size_t n, off_t offset) {
    auto* p = static_cast<unsigned char*>(buf);
    while (n > 0) {
        ssize_t got = ::pread(fd, p, n, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<size_t>(got);
        offset += got;
    }
    return true;
}

bool writeAt(int fd, const void* buf, size_t n, off_t offset) {
    auto* p = static_cast<const unsigned char*>(buf);
    while (n > 0) {
        ssize_t put = ::pwrite(fd, p, n, offset);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        p += put;
        n -= static_cast<size_t>(put);
        offset += put;
    }
    return true;
}

} // namespace vbmp3
