// Scans arbitrary bytes as an MP3 file, then reads its frames back as the
// decoder does: nothing may be read outside the file or a buffer, the runs of
// frames must lie in order inside the file and hold every frame counted, and
// reading them back must give exactly their bytes. The leading tag is also
// checked as the decoder checks it before libmpg123 reads it for a gain.
#include "FrameScanner.h"
#include "GainTag.h"
#include "RunReader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("scan.mp3", 0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0) std::abort();
    if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();

    const auto info = vbmp3::FrameScanner::scan(fd);
    if (!info) return 0;
    std::vector<std::uint8_t> expected;
    std::int64_t end = 0;
    for (const vbmp3::ByteRange& r : info->runs) {
        if (r.offset < end || r.bytes <= 0 || r.offset + r.bytes > static_cast<std::int64_t>(size))
            std::abort();
        expected.insert(expected.end(), data + r.offset, data + r.offset + r.bytes);
        end = r.offset + r.bytes;
    }
    if (info->frames <= 0 || static_cast<std::int64_t>(expected.size()) < info->audioBytes) std::abort();
    if (info->leadingId3v2.bytes > 0) vbmp3::GainTag::cheapEnough(fd, info->leadingId3v2);

    vbmp3::RunReader reader(fd, info->runs);
    std::vector<std::uint8_t> got(expected.size() + 1);
    std::size_t have = 0;
    for (std::int64_t n; (n = reader.read(got.data() + have, 1 + have % 700)) > 0;) have += n;
    if (have != expected.size() || std::memcmp(got.data(), expected.data(), have) != 0) std::abort();
    // A seek back lands where asked and reads the same bytes again.
    const std::int64_t back = static_cast<std::int64_t>(have / 3);
    std::uint8_t byte = 0;
    if (reader.seek(back, SEEK_SET) != back || (have > 0 && (reader.read(&byte, 1) != 1 || byte != expected[back])))
        std::abort();
    return 0;
}
