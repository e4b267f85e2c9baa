#pragma once
// Owns a POSIX file descriptor; closes it on destruction.
#include <unistd.h>

#include <utility>

namespace vbmp3 {

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Opens a regular file only (never blocks on a FIFO or device); invalid handle otherwise.
FileHandle openRegularFile(const char* path, int flags);

// Reads or writes exactly n bytes at offset, retrying short transfers.
bool readAt(int fd, void* buf, size_t n, off_t offset);
bool writeAt(int fd, const void* buf, size_t n, off_t offset);

} // namespace vbmp3
