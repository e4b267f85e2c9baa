// Reads arbitrary bytes as the open catalogues' JSON replies, as a hostile or
// broken server might send them.
#include "ITunesSearch.h"
#include "LuceneQuery.h"
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
    // Up to 32 bytes: texts that fill a tag field's 30 may be taken as cut.
    const std::string artist = in.ConsumeRandomLengthString(32), title = in.ConsumeRandomLengthString(32);
    const std::string album = in.ConsumeRandomLengthString(32);
    const std::string reply = in.ConsumeRemainingBytesAsString();
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
    using namespace velfetch::opencatalog;
    const TrackWords words(artist, title, album);
    check(!RecordingQuery(words).empty() || words.empty());
    check(!ITunesSearchUrl(words).empty());

    if (const auto releases = ChooseReleases(bytes, words, 3)) {
        check(releases->size() <= 3);
        for (const auto& r : *releases) check(IsReleaseId(r.id) && (r.groupId.empty() || IsReleaseId(r.groupId)));
    }
    if (const auto release = ReadRelease(bytes)) check(release->asin.empty() || release->asin.size() == 10);
    for (const auto& url : ChooseArtwork(bytes, words, 3)) check(url.rfind("http", 0) == 0);
    return 0;
}
