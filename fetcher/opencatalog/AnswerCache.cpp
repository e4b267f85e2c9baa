#include "AnswerCache.h"

#include "CoverFit.h"
#include "FileLock.h"
#include "MusicBrainzReplies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <tuple>

namespace velfetch::opencatalog {
namespace {

constexpr std::string_view kMagic = "velmora-answer 1\n";
constexpr std::size_t kMaxEntryBytes = std::size_t(8) << 20; // a fitted cover is far smaller
constexpr std::size_t kNameLength = 16;                      // hex digits of the question's hash
// A miss ends with its empty picture and the checksum: "jpeg 0\n\nsum 16\n<16 digits>\n".
constexpr std::string_view kMissTail = "jpeg 0\n\nsum 16\n";
constexpr std::size_t kMissTailLength = kMissTail.size() + kNameLength + 1;

constexpr char kLedger[] = "ledger";
constexpr std::string_view kLedgerMagic = "velmora-ledger 1\n";
constexpr std::size_t kLedgerLength = kLedgerMagic.size() + 3 * 21;
// The ledger is held for a few reads and writes; past this, the totals skip a store.
constexpr auto kLedgerPatience = std::chrono::seconds(1);
// A kept picture fits the cover area already; decoding it again takes a few
// milliseconds. A damaged one may take longer, never past this.
constexpr auto kCheckTime = std::chrono::seconds(5);

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

std::string entryName(const std::string& question) { return hex(fnv1a(question)); }

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

// An entry's modification time: a hit's last use, a miss's storing (a use
// does not make a miss live longer, so its time is never moved).
void setTime(const vel::Folder& folder, const std::string& name, std::chrono::system_clock::time_point when) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
    const timespec at{time_t(ns / 1000000000), long(ns % 1000000000)};
    const timespec times[2] = {at, at};
    utimensat(folder.fd(), name.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

bool isEntryName(const std::string& name) {
    return name.size() == kNameLength && name.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// The temporary file of a write cut short by SIGKILL or a power cut.
bool isLeftoverName(const std::string& name) {
    return name.size() > kNameLength && isEntryName(name.substr(0, kNameLength)) &&
           vel::Folder::isTemporaryOf(name, name.substr(0, kNameLength));
}

bool isMiss(const vel::Folder& folder, const std::string& name, std::uint64_t size) {
    if (size < kMissTailLength) return false;
    const vel::UniqueFd file = folder.open(name, O_RDONLY | O_NONBLOCK);
    char tail[kMissTailLength];
    return file && pread(file.get(), tail, sizeof tail, off_t(size - sizeof tail)) == ssize_t(sizeof tail) &&
           std::string_view(tail, kMissTail.size()) == kMissTail;
}

std::uint64_t diskUse(const struct stat& st) { return std::uint64_t(st.st_blocks) * 512; }

} // namespace

AnswerCache::AnswerCache(const std::string& folder, WallClock now, CacheLimits limits)
    : folder_(vel::Folder::Private(folder)), now_(std::move(now)), limits_(limits) {}

std::optional<CachedAnswer> AnswerCache::Find(const std::string& question) {
    const std::string name = entryName(question);
    const auto bytes = folder_.read(name, kMaxEntryBytes);
    if (!bytes) return std::nullopt;
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    if (text.substr(0, kMagic.size()) != kMagic) return std::nullopt;

    // The checksum covers everything before it: a truncated or altered entry fails it.
    const std::size_t sumAt = text.rfind("\nsum ");
    if (sumAt == std::string::npos) return std::nullopt;
    Reader trailer(text.substr(sumAt + 1));
    const auto sum = trailer.field("sum");
    if (!sum || !trailer.atEnd() || *sum != hex(fnv1a(text.substr(0, sumAt + 1)))) return std::nullopt;

    Reader r(text.substr(kMagic.size(), sumAt + 1 - kMagic.size()));
    const auto asked = r.field("question"), stored = r.field("stored"), source = r.field("source"),
               asin = r.field("asin"), jpeg = r.field("jpeg");
    if (!asked || !stored || !source || !asin || !jpeg || !r.atEnd()) return std::nullopt;
    if (*asked != question) return std::nullopt; // another question with the same hash

    // Checked as an answer from the network is: the ASIN goes into a store
    // address, the picture is decoded and fitted anew.
    if (!asin->empty() && !IsAsin(*asin)) return std::nullopt;
    CachedAnswer answer{{}, std::string(*asin), std::string(*source)};
    const auto now = now_();
    if (!jpeg->empty()) {
        auto fitted = FitCover({reinterpret_cast<const std::uint8_t*>(jpeg->data()), jpeg->size()}, kCoverWidth,
                               kCoverHeight, std::chrono::steady_clock::now() + kCheckTime);
        if (!fitted) return std::nullopt;
        answer.jpeg = std::move(*fitted);
        setTime(folder_, name, now);
        return answer;
    }
    std::int64_t at = 0;
    const auto [end, error] = std::from_chars(stored->data(), stored->data() + stored->size(), at);
    if (error != std::errc() || end != stored->data() + stored->size()) return std::nullopt;
    const std::int64_t age = seconds(now) - at;
    if (age < 0 || age >= std::chrono::duration_cast<std::chrono::seconds>(kMissLife).count()) return std::nullopt;
    return answer;
}

void AnswerCache::Store(const std::string& question, const CachedAnswer& answer) {
    if (!folder_.usable()) return;
    const auto now = now_();
    std::string text(kMagic);
    putField(text, "question", question);
    putField(text, "stored", std::to_string(seconds(now)));
    putField(text, "source", answer.source);
    putField(text, "asin", answer.asin);
    putField(text, "jpeg", {reinterpret_cast<const char*>(answer.jpeg.data()), answer.jpeg.size()});
    putField(text, "sum", hex(fnv1a(text)));

    const std::string name = entryName(question);
    const FileLock ledger(folder_, kLedger, std::chrono::steady_clock::now() + kLedgerPatience);
    const auto before = folder_.status(name);
    if (!folder_.replace(name, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, 0600)) return;
    setTime(folder_, name, now);
    if (ledger.state() != FileLock::State::Locked) return;

    // No ledger yet (or a damaged one): the totals are unknown, so the folder is listed now.
    Totals totals{0, 0, kStoresBetweenScans};
    char saved[kLedgerLength];
    unsigned long long bytes = 0, entries = 0, stores = 0;
    if (pread(ledger.fd(), saved, sizeof saved, 0) == ssize_t(sizeof saved) &&
        std::string_view(saved, kLedgerMagic.size()) == kLedgerMagic &&
        std::sscanf(saved + kLedgerMagic.size(), "%20llu %20llu %20llu\n", &bytes, &entries, &stores) == 3)
        totals = {bytes, entries, stores};
    const bool replaced = before && S_ISREG(before->st_mode);
    const std::uint64_t was = replaced ? diskUse(*before) : 0;
    const auto after = folder_.status(name);
    totals.diskBytes = totals.diskBytes - std::min(totals.diskBytes, was) + (after ? diskUse(*after) : 0);
    totals.entries += replaced ? 0 : 1;
    totals.stores += 1;
    if (totals.diskBytes > limits_.diskBytes || totals.entries > limits_.entries ||
        totals.stores >= kStoresBetweenScans)
        totals = trim();

    char line[kLedgerLength + 1];
    std::snprintf(line, sizeof line, "%s%020llu %020llu %020llu\n", kLedgerMagic.data(),
                  static_cast<unsigned long long>(totals.diskBytes), static_cast<unsigned long long>(totals.entries),
                  static_cast<unsigned long long>(totals.stores));
    // A short write reads as no ledger: the next store lists the folder.
    const bool whole = pwrite(ledger.fd(), line, kLedgerLength, 0) == ssize_t(kLedgerLength);
    (void)whole;
}

AnswerCache::Totals AnswerCache::trim() {
    struct Entry {
        std::string name;
        std::uint64_t bytes;
        timespec used;
    };
    const auto expired = seconds(now_() - kMissLife);
    std::vector<Entry> entries;
    Totals totals;
    for (const std::string& name : folder_.names()) {
        if (isLeftoverName(name)) {
            folder_.remove(name);
            continue;
        }
        if (!isEntryName(name)) continue;
        const auto st = folder_.status(name);
        if (!st || !S_ISREG(st->st_mode)) continue;
        if (st->st_mtim.tv_sec <= expired && isMiss(folder_, name, std::uint64_t(st->st_size))) {
            folder_.remove(name);
            continue;
        }
        entries.push_back({name, diskUse(*st), st->st_mtim});
        totals.diskBytes += diskUse(*st);
        ++totals.entries;
    }
    if (totals.diskBytes <= limits_.diskBytes && totals.entries <= limits_.entries) return totals;

    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.used.tv_sec, a.used.tv_nsec) < std::tie(b.used.tv_sec, b.used.tv_nsec);
    });
    const std::uint64_t bytesGoal = limits_.diskBytes - limits_.diskBytes / 10;
    const std::uint64_t entriesGoal = limits_.entries - limits_.entries / 10;
    for (const Entry& e : entries) {
        if (totals.diskBytes <= bytesGoal && totals.entries <= entriesGoal) break;
        if (!folder_.remove(e.name)) continue;
        totals.diskBytes -= e.bytes;
        --totals.entries;
    }
    return totals;
}

} // namespace velfetch::opencatalog
