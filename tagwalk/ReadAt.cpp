#include "ReadAt.h"

#include <unistd.h>

#include <cerrno>

namespace veltag {

std::size_t ReadAt(int fd, void* to, std::size_t size, off_t offset) {
    auto* bytes = static_cast<unsigned char*>(to);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes + got, size - got, offset + off_t(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += std::size_t(n);
    }
    return got;
}

} // namespace veltag
