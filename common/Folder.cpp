#include "Folder.h"

#include "EndSignals.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>

namespace vel {
namespace {

constexpr char kNameChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kSuffixLength = 6; // "<target>.XXXXXX", as mkstemp names them

bool isName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Root or this user alone can change the folder: a link in it was put there by one of them.
bool trusted(int folder) {
    struct stat st {};
    return fstat(folder, &st) == 0 && (st.st_uid == 0 || st.st_uid == geteuid()) &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool isLink(int folder, const std::string& name) {
    struct stat st {};
    return fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// One step of the walk: the part `name` of `at`, made when missing.
UniqueFd openPart(int at, const std::string& name, bool last) {
    const int flags = O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW | (last ? O_RDONLY : O_PATH);
    UniqueFd part(openat(at, name.c_str(), flags));
    if (!part && errno == ENOENT) {
        if (mkdirat(at, name.c_str(), 0700) != 0 && errno != EEXIST) return {};
        part = UniqueFd(openat(at, name.c_str(), flags));
    }
    if (!part && !last && (errno == ENOTDIR || errno == ELOOP) && isLink(at, name) && trusted(at))
        part = UniqueFd(openat(at, name.c_str(), flags & ~O_NOFOLLOW));
    // Where others may add or rename entries, only a part of root's or this
    // user's can be the one meant: anyone else's was put there by them.
    struct stat st {};
    if (part && !trusted(at) && (fstat(part.get(), &st) != 0 || (st.st_uid != 0 && st.st_uid != geteuid())))
        return {};
    return part;
}

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

std::string siblingName(const std::string& target) {
    static std::mt19937 pick{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> at(0, sizeof kNameChars - 2);
    std::string name = target + '.';
    for (std::size_t i = 0; i < kSuffixLength; ++i) name += kNameChars[at(pick)];
    return name;
}

// Writes into a file without a name (O_TMPFILE) and names it only for the
// rename. Nothing when the file system cannot do that; the caller then takes
// a named file.
std::optional<bool> replaceThroughUnnamedFile(int folder, const std::string& name,
                                              std::span<const std::uint8_t> bytes, mode_t mode) {
    UniqueFd file(openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (!file) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return std::nullopt;
        return false; // the folder cannot be written
    }
    fchmod(file.get(), mode); // whatever the umask
    if (!writeAll(file.get(), bytes)) return false;

    const std::string self = "/proc/self/fd/" + std::to_string(file.get());
    HoldEndSignals hold;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = siblingName(name);
        if (linkat(AT_FDCWD, self.c_str(), folder, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST) continue;
            if (errno == ENOENT && access("/proc/self/fd", F_OK) != 0) return std::nullopt; // no /proc
            return false;
        }
        if (renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
            unlinkat(folder, temporary.c_str(), 0);
            return false;
        }
        return true;
    }
    return false;
}

// The same through a named temporary file, for file systems without O_TMPFILE.
bool replaceThroughNamedFile(int folder, const std::string& name, std::span<const std::uint8_t> bytes, mode_t mode) {
    HoldEndSignals hold;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = siblingName(name);
        UniqueFd file(openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!file) {
            if (errno == EEXIST) continue;
            return false;
        }
        fchmod(file.get(), mode);
        if (!writeAll(file.get(), bytes) || !file.close() ||
            renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
            unlinkat(folder, temporary.c_str(), 0);
            return false;
        }
        return true;
    }
    return false;
}

} // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd() { close(); }

bool UniqueFd::close() {
    if (fd_ < 0) return true;
    return ::close(release()) == 0;
}

Folder Folder::Private(const std::string& path) {
    if (path.empty() || path[0] != '/') return Folder(UniqueFd(), path);
    std::vector<std::string> parts;
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        if (end > at && path.compare(at, end - at, ".") != 0) parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    if (parts.empty()) return Folder(UniqueFd(), path);

    UniqueFd at(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t i = 0; i < parts.size() && at; ++i) at = openPart(at.get(), parts[i], i + 1 == parts.size());
    struct stat st {};
    if (!at || fstat(at.get(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Folder(UniqueFd(), path);
    // Nobody else learns what is kept here either.
    if ((st.st_mode & 077) != 0 && fchmod(at.get(), st.st_mode & 0700) != 0) return Folder(UniqueFd(), path);
    return Folder(std::move(at), path);
}

Folder Folder::Plain(const std::string& path) {
    return Folder(UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), path);
}

UniqueFd Folder::open(const std::string& name, int flags, mode_t mode) const {
    if (!usable() || !isName(name)) return {};
    return UniqueFd(openat(fd(), name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
}

std::optional<std::vector<std::uint8_t>> Folder::read(const std::string& name, std::size_t maxBytes) const {
    // Non-blocking: a FIFO of that name must not hold the reader up.
    const UniqueFd file = open(name, O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (!file || fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || std::uint64_t(st.st_size) > maxBytes)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(std::size_t(st.st_size) + 1);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        done += std::size_t(n);
    }
    if (done > maxBytes) return std::nullopt; // it grew meanwhile
    bytes.resize(done);
    return bytes;
}

bool Folder::replace(const std::string& name, std::span<const std::uint8_t> bytes, mode_t mode) const {
    if (!usable() || !isName(name)) return false;
    if (auto done = replaceThroughUnnamedFile(fd(), name, bytes, mode)) return *done;
    return replaceThroughNamedFile(fd(), name, bytes, mode);
}

bool Folder::remove(const std::string& name) const {
    return usable() && isName(name) && unlinkat(fd(), name.c_str(), 0) == 0;
}

std::optional<struct stat> Folder::status(const std::string& name) const {
    struct stat st {};
    if (!usable() || !isName(name) || fstatat(fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return st;
}

bool Folder::isFile(const std::string& name) const {
    const auto st = status(name);
    return st && S_ISREG(st->st_mode);
}

std::vector<std::string> Folder::names() const {
    std::vector<std::string> out;
    if (!usable()) return out;
    // A description of its own, so that listing never moves another reader's place.
    UniqueFd own(openat(fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = own ? fdopendir(own.get()) : nullptr;
    if (!dir) return out;
    own.release(); // closedir closes it
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") out.push_back(name);
    }
    closedir(dir);
    return out;
}

bool Folder::isTemporaryOf(const std::string& name, const std::string& target) {
    if (name.size() != target.size() + 1 + kSuffixLength || name.compare(0, target.size(), target) != 0 ||
        name[target.size()] != '.')
        return false;
    return name.find_first_not_of(kNameChars, target.size() + 1) == std::string::npos;
}

} // namespace vel
