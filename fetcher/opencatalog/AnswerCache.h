#pragma once
// The open catalogues' answers kept between runs, one file per question in a
// folder of the user's: a cover found (the fitted JPEG, the ASIN, the source)
// until the folder passes its size cap, least recently used going first; and
// "nothing found" for a day. The caller decides what is worth keeping (never
// an error, a time-out or a throttle). Damaged entries read as absent and are
// replaced; a folder that cannot be made or written means no cache, silently.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velfetch::opencatalog {

struct CachedAnswer {
    std::vector<std::uint8_t> jpeg; // empty: nothing was found
    std::string asin;
    std::string source;

    bool found() const { return !jpeg.empty(); }
};

class AnswerCache {
public:
    static constexpr std::chrono::hours kMissLife{24};
    static constexpr std::uint64_t kDefaultCap = std::uint64_t(50) << 20;

    using WallClock = std::function<std::chrono::system_clock::time_point()>;
    // Replaces a file's content whole (through a temporary file and a rename).
    using FileWriter = std::function<bool(const std::string& path, std::span<const std::uint8_t> bytes)>;

    AnswerCache(std::string folder, FileWriter write, WallClock now = std::chrono::system_clock::now,
                std::uint64_t capBytes = kDefaultCap);

    // The answer kept for `question`; nothing when none is kept, it has
    // expired or its entry is damaged. A hit counts as a use.
    std::optional<CachedAnswer> Find(const std::string& question);
    // Keeps the answer (a miss when `answer.jpeg` is empty), then trims the
    // folder to its cap.
    void Store(const std::string& question, const CachedAnswer& answer);

    const std::string& folder() const { return folder_; }

private:
    std::string entryPath(const std::string& question) const;
    void trim();

    std::string folder_;
    FileWriter write_;
    WallClock now_;
    std::uint64_t cap_;
    bool usable_;
};

} // namespace velfetch::opencatalog
