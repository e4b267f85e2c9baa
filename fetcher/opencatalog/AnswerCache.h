#pragma once
// The open catalogues' answers kept between runs, one file per question in a
// folder of the user's own (the private-folder rule, vel::Folder::Private): a
// cover found (the fitted JPEG, the ASIN, the source) until the folder's disk
// use or its number of entries passes its cap, least recently used going
// first; and "nothing found" for a day. The caller decides what is worth
// keeping (never an error, a time-out or a throttle).
//
// What is read back is checked as a network answer is: the ASIN by the same
// rule, the picture decoded and fitted anew. Damaged entries read as absent
// and are replaced; a folder that fails the rule, or cannot be made or
// written, means no cache, silently.
//
// The disk use (blocks, not file sizes: a small entry takes a whole block) and
// the number of entries are kept as running totals in a small ledger file
// beside the entries, so a store does not list the folder. The folder is
// listed (and trimmed, expired misses first) when a total passes its cap and
// every kStoresBetweenScans stores, which also corrects the totals for what
// they missed (another fetcher holding the ledger, entries removed by hand).
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Folder.h"

namespace velfetch::opencatalog {

struct CachedAnswer {
    std::vector<std::uint8_t> jpeg; // empty: nothing was found
    std::string asin;
    std::string source;

    bool found() const { return !jpeg.empty(); }
};

// What the cache may hold at most.
struct CacheLimits {
    std::uint64_t diskBytes = std::uint64_t(50) << 20; // blocks on disk, in bytes
    std::uint64_t entries = 4096;
};

class AnswerCache {
public:
    static constexpr std::chrono::hours kMissLife{24};
    static constexpr unsigned kStoresBetweenScans = 100;

    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    // The folder is opened (made where missing) here; empty: no cache.
    explicit AnswerCache(const std::string& folder, WallClock now = std::chrono::system_clock::now,
                         CacheLimits limits = {});

    // The answer kept for `question`; nothing when none is kept, it has
    // expired, or its entry is damaged or fails the checks. A hit counts as a
    // use.
    std::optional<CachedAnswer> Find(const std::string& question);
    // Keeps the answer (a miss when `answer.jpeg` is empty), then trims the
    // folder when it is past a cap.
    void Store(const std::string& question, const CachedAnswer& answer);

    const std::string& folder() const { return folder_.path(); }

private:
    struct Totals {
        std::uint64_t diskBytes = 0;
        std::uint64_t entries = 0;
        std::uint64_t stores = 0; // since the folder was last listed
    };
    // Lists the folder: removes temporary files left behind and expired
    // misses, then the least recently used entries while a total is past its
    // cap (down to nine tenths of it, so that the next store does not list
    // again). The totals of what stays.
    Totals trim();

    vel::Folder folder_;
    WallClock now_;
    CacheLimits limits_;
};

} // namespace velfetch::opencatalog
