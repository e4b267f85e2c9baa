#include "HandoffFile.h"

#include "EndSignals.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <vector>

namespace velfetch {
namespace {

constexpr char kNameChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kSuffixLength = 6; // "<target>.XXXXXX", as mkstemp names them

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool closeNow() {
        const int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string siblingName(const std::string& target) {
    static std::mt19937 pick{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> at(0, sizeof kNameChars - 2);
    std::string name = target + '.';
    for (std::size_t i = 0; i < kSuffixLength; ++i) name += kNameChars[at(pick)];
    return name;
}

// Writes into a file without a name (O_TMPFILE) and names it only for the
// rename, so that a fetcher ended during the write leaves nothing at all.
// Empty when the file system cannot do that; the caller then takes a named file.
std::optional<bool> replaceThroughUnnamedFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    Descriptor file(open(folderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
    if (file.get() < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return std::nullopt;
        return false; // the folder cannot be written
    }
    fchmod(file.get(), 0644); // readable by the player like any file it writes itself
    if (!writeAll(file.get(), bytes)) return false;

    const std::string self = "/proc/self/fd/" + std::to_string(file.get());
    HoldEndSignals hold;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = siblingName(path);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) continue;
            if (errno == ENOENT && access("/proc/self/fd", F_OK) != 0) return std::nullopt; // no /proc
            return false;
        }
        if (std::rename(name.c_str(), path.c_str()) != 0) {
            unlink(name.c_str());
            return false;
        }
        return true;
    }
    return false;
}

// The same through a named temporary file, for file systems without O_TMPFILE.
bool replaceThroughNamedFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    HoldEndSignals hold;
    std::string name = path + ".XXXXXX";
    Descriptor file(mkostemp(name.data(), O_CLOEXEC));
    if (file.get() < 0) return false;
    fchmod(file.get(), 0644);
    if (!writeAll(file.get(), bytes) || !file.closeNow() || std::rename(name.c_str(), path.c_str()) != 0) {
        unlink(name.c_str());
        return false;
    }
    return true;
}

bool isLeftoverOf(const std::string& name, const std::string& target) {
    if (name.size() != target.size() + 1 + kSuffixLength || name.compare(0, target.size(), target) != 0 ||
        name[target.size()] != '.')
        return false;
    return name.find_first_not_of(kNameChars, target.size() + 1) == std::string::npos;
}

} // namespace

bool ReplaceFileContent(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (auto done = replaceThroughUnnamedFile(path, bytes)) return *done;
    return replaceThroughNamedFile(path, bytes);
}

void RemoveLeftoverTemporaries(const std::string& folder, std::initializer_list<const char*> targets) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (const char* target : targets)
            if (isLeftoverOf(name, target) && it->is_regular_file(ec)) unlink(it->path().c_str());
    }
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DeleteFileQuietly(const std::string& path) { return unlink(path.c_str()) == 0; }

} // namespace velfetch
