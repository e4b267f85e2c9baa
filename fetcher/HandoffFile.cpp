#include "HandoffFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace velfetch {
namespace {

// Closes the descriptor and, unless released, removes the temporary file.
class TempFile {
public:
    explicit TempFile(const std::string& target) : path_(target + ".XXXXXX") {
        std::vector<char> name(path_.begin(), path_.end());
        name.push_back('\0');
        fd_ = mkstemp(name.data());
        if (fd_ >= 0) {
            path_.assign(name.data());
            fchmod(fd_, 0644); // readable by the player like any file it writes itself
        }
    }
    ~TempFile() {
        if (fd_ >= 0) close(fd_);
        if (!kept_ && fd_ != -1) unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    bool write(std::span<const std::uint8_t> bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool closeFile() {
        int fd = fd_;
        fd_ = -2; // closed, but the file is still ours to remove
        return close(fd) == 0;
    }

    void keep() { kept_ = true; }

private:
    std::string path_;
    int fd_ = -1;
    bool kept_ = false;
};

} // namespace

bool ReplaceFileContent(const std::string& path, std::span<const std::uint8_t> bytes) {
    TempFile temp(path);
    if (!temp.ok() || !temp.write(bytes) || !temp.closeFile()) return false;
    if (std::rename(temp.path().c_str(), path.c_str()) != 0) return false;
    temp.keep();
    return true;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DeleteFileQuietly(const std::string& path) { return unlink(path.c_str()) == 0; }

} // namespace velfetch
