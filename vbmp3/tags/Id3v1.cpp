#include "Id3v1.h"

#include "FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace vbmp3 {
namespace {

constexpr std::size_t kTitle = 3, kArtist = 33, kAlbum = 63, kYear = 93, kComment = 97,
                      kGenre = 127, kText = 30;

bool isLeadByte(std::uint8_t c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Bytes of a field up to its first NUL.
std::string field(const Id3v1::Bytes& raw, std::size_t at, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(raw.data()) + at;
    return std::string(p, strnlen(p, width));
}

void put(Id3v1::Bytes& raw, std::size_t at, std::size_t width, std::string_view text) {
    const std::string fitted = Id3v1::fit(text, width);
    std::memcpy(raw.data() + at, fitted.data(), fitted.size()); // the rest stays NUL
}

bool hasTag(const Id3v1::Bytes& raw) {
    return std::memcmp(raw.data(), "TAG", 3) == 0;
}

} // namespace

std::string Id3v1::fit(std::string_view text, std::size_t width) {
    std::size_t n = 0;
    while (n < text.size()) {
        const std::size_t step =
            isLeadByte(static_cast<std::uint8_t>(text[n])) && n + 1 < text.size() ? 2 : 1;
        if (n + step > width) break;
        n += step;
    }
    while (n > 0 && text[n - 1] == ' ') --n;
    return std::string(text.substr(0, n));
}

Id3v1Tag Id3v1::decode(const Bytes& raw) {
    Id3v1Tag t;
    t.title = field(raw, kTitle, kText);
    t.artist = field(raw, kArtist, kText);
    t.album = field(raw, kAlbum, kText);
    t.year = field(raw, kYear, 4);
    const bool v11 = raw[kComment + 28] == 0 && raw[kComment + 29] != 0;
    t.comment = field(raw, kComment, v11 ? 28 : kText);
    t.track = v11 ? raw[kComment + 29] : -1;
    t.genre = raw[kGenre] == 255 ? -1 : raw[kGenre];
    return t;
}

std::optional<Id3v1::Bytes> Id3v1::encode(const Id3v1Tag& t) {
    if (t.genre < -1 || t.genre > 255 || (t.track != -1 && (t.track < 0 || t.track > 255)))
        return std::nullopt;
    Bytes raw{};
    std::memcpy(raw.data(), "TAG", 3);
    put(raw, kTitle, kText, t.title);
    put(raw, kArtist, kText, t.artist);
    put(raw, kAlbum, kText, t.album);
    put(raw, kYear, 4, t.year);
    if (t.track == -1) {
        put(raw, kComment, kText, t.comment);
    } else {
        put(raw, kComment, 28, t.comment);
        raw[kComment + 29] = static_cast<std::uint8_t>(t.track);
    }
    raw[kGenre] = static_cast<std::uint8_t>(t.genre == -1 ? 255 : t.genre);
    return raw;
}

std::optional<Id3v1Tag> Id3v1::read(const char* path) {
    FileHandle fd = openRegularFile(path, O_RDONLY);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_size < 128) return std::nullopt;
    Bytes raw{};
    if (!readAt(fd.get(), raw.data(), raw.size(), st.st_size - 128) || !hasTag(raw))
        return std::nullopt;
    return decode(raw);
}

// The tag goes in with one positioned write into the file itself, after every
// check has passed. Rewriting the whole file through a temporary copy and a
// rename would copy all the audio for 128 bytes and would give the file a new
// identity (hard links, owner, permissions, extended attributes could be lost);
// the in-place write touches only the tag's bytes, and if it fails the file is
// put back: an appended tag is truncated away, a replaced one rewritten.
bool Id3v1::write(const char* path, const Id3v1Tag& tag) {
    const auto raw = encode(tag);
    if (!raw) return false;
    FileHandle fd = openRegularFile(path, O_RDWR);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return false;
    // A file marked read-only for everybody stays read-only even for root,
    // as a read-only attribute would.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;

    Bytes old{};
    const bool replace = st.st_size >= 128 &&
                         readAt(fd.get(), old.data(), old.size(), st.st_size - 128) && hasTag(old);
    const off_t at = replace ? st.st_size - 128 : st.st_size;
    if (writeAt(fd.get(), raw->data(), raw->size(), at) && ::fsync(fd.get()) == 0) return true;

    if (replace) {
        writeAt(fd.get(), old.data(), old.size(), at);
    } else {
        [[maybe_unused]] const int rc = ::ftruncate(fd.get(), st.st_size);
    }
    return false;
}

} // namespace vbmp3
