#include "AnswerCache.h"

#include "UserFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace velfetch::opencatalog {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "velmora-answer 1\n";
constexpr std::size_t kMaxEntryBytes = std::size_t(8) << 20; // a fitted cover is far smaller
constexpr std::size_t kNameLength = 16;                      // hex digits of the question's hash

std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

std::string hex(std::uint64_t value) {
    char text[kNameLength + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// "<name> <length>\n<bytes>\n": every field carries its length, so any byte may stand in it.
void putField(std::string& out, std::string_view name, std::string_view value) {
    out.append(name).append(" ").append(std::to_string(value.size())).append("\n").append(value).append("\n");
}

class Reader {
public:
    explicit Reader(std::string_view text) : rest_(text) {}

    std::optional<std::string_view> field(std::string_view name) {
        if (rest_.substr(0, name.size() + 1) != std::string(name) + ' ') return std::nullopt;
        rest_.remove_prefix(name.size() + 1);
        std::size_t length = 0;
        const auto [end, error] = std::from_chars(rest_.data(), rest_.data() + rest_.size(), length);
        if (error != std::errc() || end == rest_.data() + rest_.size() || *end != '\n') return std::nullopt;
        rest_.remove_prefix(std::size_t(end - rest_.data()) + 1);
        if (length >= rest_.size() || rest_[length] != '\n') return std::nullopt;
        const std::string_view value = rest_.substr(0, length);
        rest_.remove_prefix(length + 1);
        return value;
    }
    bool atEnd() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

std::int64_t seconds(std::chrono::system_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

// The entry's time of last use: its modification time, set on every use.
void markUsed(const std::string& path, std::chrono::system_clock::time_point when) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
    const struct timespec times[2] = {{ns / 1000000000, long(ns % 1000000000)}, {ns / 1000000000, long(ns % 1000000000)}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

bool isEntryName(const std::string& name) {
    return name.size() == kNameLength && name.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// "<entry>.XXXXXX": the temporary file of a write cut short by SIGKILL or a power cut.
bool isLeftoverName(const std::string& name) {
    return name.size() == kNameLength + 7 && name[kNameLength] == '.' && isEntryName(name.substr(0, kNameLength));
}

} // namespace

AnswerCache::AnswerCache(std::string folder, FileWriter write, WallClock now, std::uint64_t capBytes)
    : folder_(std::move(folder)), write_(std::move(write)), now_(std::move(now)), cap_(capBytes),
      usable_(vel::makeFolders(folder_) && access(folder_.c_str(), W_OK | X_OK) == 0) {}

std::string AnswerCache::entryPath(const std::string& question) const {
    return folder_ + "/" + hex(fnv1a(question));
}

std::optional<CachedAnswer> AnswerCache::Find(const std::string& question) {
    if (!usable_) return std::nullopt;
    const std::string path = entryPath(question);
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec || size > kMaxEntryBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string text(std::size_t(size), '\0');
    if (!in.read(text.data(), std::streamsize(text.size())) || text.compare(0, kMagic.size(), kMagic) != 0)
        return std::nullopt;

    // The checksum covers everything before it: a truncated or altered entry fails it.
    const std::size_t sumAt = text.rfind("\nsum ");
    if (sumAt == std::string::npos) return std::nullopt;
    Reader trailer(std::string_view(text).substr(sumAt + 1));
    const auto sum = trailer.field("sum");
    if (!sum || !trailer.atEnd() || *sum != hex(fnv1a(std::string_view(text).substr(0, sumAt + 1))))
        return std::nullopt;

    Reader r(std::string_view(text).substr(kMagic.size(), sumAt + 1 - kMagic.size()));
    const auto asked = r.field("question"), stored = r.field("stored"), source = r.field("source"),
               asin = r.field("asin"), jpeg = r.field("jpeg");
    if (!asked || !stored || !source || !asin || !jpeg || !r.atEnd()) return std::nullopt;
    if (*asked != question) return std::nullopt; // another question with the same hash

    CachedAnswer answer{{jpeg->begin(), jpeg->end()}, std::string(*asin), std::string(*source)};
    const auto now = now_();
    if (!answer.found()) {
        std::int64_t at = 0;
        const auto [end, error] = std::from_chars(stored->data(), stored->data() + stored->size(), at);
        if (error != std::errc() || end != stored->data() + stored->size()) return std::nullopt;
        const std::int64_t age = seconds(now) - at;
        if (age < 0 || age >= std::chrono::duration_cast<std::chrono::seconds>(kMissLife).count()) return std::nullopt;
    }
    markUsed(path, now);
    return answer;
}

void AnswerCache::Store(const std::string& question, const CachedAnswer& answer) {
    if (!usable_) return;
    const auto now = now_();
    std::string text(kMagic);
    putField(text, "question", question);
    putField(text, "stored", std::to_string(seconds(now)));
    putField(text, "source", answer.source);
    putField(text, "asin", answer.asin);
    putField(text, "jpeg", {reinterpret_cast<const char*>(answer.jpeg.data()), answer.jpeg.size()});
    putField(text, "sum", hex(fnv1a(text)));
    const std::string path = entryPath(question);
    if (!write_(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()})) return;
    markUsed(path, now);
    trim();
}

void AnswerCache::trim() {
    struct Entry {
        fs::path path;
        std::uint64_t size;
        fs::file_time_type used;
    };
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code e;
        if (!it->is_regular_file(e)) continue;
        if (isLeftoverName(name)) {
            fs::remove(it->path(), e);
            continue;
        }
        if (!isEntryName(name)) continue;
        const std::uint64_t size = it->file_size(e);
        const auto used = it->last_write_time(e);
        if (e) continue;
        entries.push_back({it->path(), size, used});
        total += size;
    }
    if (total <= cap_) return;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.used < b.used; });
    for (const Entry& e : entries) {
        if (total <= cap_) break;
        std::error_code gone;
        if (fs::remove(e.path, gone)) total -= e.size;
    }
}

} // namespace velfetch::opencatalog
