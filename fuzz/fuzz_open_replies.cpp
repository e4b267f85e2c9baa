// Reads arbitrary bytes as the open catalogues' JSON replies, as a hostile or
// broken server might send them.
#include "ITunesSearch.h"
#include "MusicBrainzReplies.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string artist = in.ConsumeRandomLengthString(32), title = in.ConsumeRandomLengthString(32);
    const std::string reply = in.ConsumeRemainingBytesAsString();
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
    using namespace velfetch::opencatalog;
    const TrackWords words(artist, title);

    if (const auto releases = ChooseReleases(bytes, words, 3)) {
        check(releases->size() <= 3);
        for (const auto& id : *releases) check(IsReleaseId(id));
    }
    if (const auto release = ReadRelease(bytes)) check(release->asin.empty() || release->asin.size() == 10);
    for (const auto& url : ChooseArtwork(bytes, words, 3)) check(url.rfind("http", 0) == 0);
    return 0;
}
