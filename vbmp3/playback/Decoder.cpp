#include "Decoder.h"

#include "GainTag.h"
#include "TagPlugin.h"

#include <fcntl.h>
#include <mpg123.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vbmp3 {
namespace {

bool libraryReady() {
    // mpg123_init is a no-op in current libmpg123 but still required by older ones.
    static const bool ok = mpg123_init() == MPG123_OK;
    return ok;
}

mpg123_ssize_t readRuns(void* reader, void* buf, size_t n) {
    return static_cast<RunReader*>(reader)->read(buf, n);
}

off_t seekRuns(void* reader, off_t offset, int whence) {
    return static_cast<off_t>(static_cast<RunReader*>(reader)->seek(offset, whence));
}

// ReplayGain applies unless VELMORA_REPLAYGAIN says "off" (or 0, no, false).
bool replayGainOn() {
    const char* v = std::getenv("VELMORA_REPLAYGAIN");
    if (!v) return true;
    for (const char* off : {"off", "0", "no", "false"})
        if (strcasecmp(v, off) == 0) return false;
    return true;
}

// A track gain only an APEv2 tag holds (mp3gain writes them there), read
// through the tag plug-in; clipping is prevented from the peak as libmpg123
// does it for its own.
void applyApeGain(mpg123_handle* mh, int fd) {
    const Vbmp3TagGain gain = TagPlugin::gain();
    double db = 0, peak = 0;
    if (!gain || !gain(fd, &db, &peak) || !std::isfinite(db) || !std::isfinite(peak)) return;
    double scale = std::pow(10.0, std::clamp(db, -60.0, 60.0) / 20);
    if (peak > 0 && scale * peak > 1) scale = 1 / peak;
    mpg123_volume(mh, scale);
}

} // namespace

void Decoder::HandleDeleter::operator()(mpg123_handle_struct* h) const {
    mpg123_close(h);
    mpg123_delete(h);
}

Decoder::~Decoder() = default;

std::unique_ptr<Decoder> Decoder::open(const char* path) {
    if (!libraryReady()) return nullptr;
    FileHandle fd = openRegularFile(path, O_RDONLY);
    if (!fd) return nullptr;
    auto info = FrameScanner::scan(fd.get());
    if (!info) return nullptr;

    std::unique_ptr<Decoder> d(new Decoder);
    d->fd_ = std::move(fd);
    d->info_ = std::move(*info);
    // ReplayGain is libmpg123's to read: from the LAME header of the first
    // frame, and from the leading ID3v2 tag (TXXX REPLAYGAIN_*, RVA2), which
    // it then gets to see before the frames, unless reading it would cost too
    // much (GainTag). Without gain data nothing changes.
    const bool gain = replayGainOn();
    std::vector<ByteRange> runs = d->info_.runs;
    if (const ByteRange& tag = d->info_.leadingId3v2;
        gain && tag.bytes > 0 && GainTag::cheapEnough(d->fd_.get(), tag))
        runs.insert(runs.begin(), tag);
    d->reader_ = std::make_unique<RunReader>(d->fd_.get(), std::move(runs));

    int err = MPG123_OK;
    d->mh_.reset(mpg123_new(nullptr, &err));
    if (!d->mh_) return nullptr;
    mpg123_handle* mh = d->mh_.get();
    // Quiet, gapless; mono is spread to both channels so that the output format
    // never changes within a file and the volume applies per channel.
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_STEREO, 0);
    mpg123_param(mh, MPG123_RVA, gain ? MPG123_RVA_MIX : MPG123_RVA_OFF, 0); // track gain
    mpg123_format_none(mh);
    if (mpg123_format(mh, d->sampleRate(), MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK)
        return nullptr;
    // The decoder sees the frames only: no tag to parse, no junk to resync over.
    if (mpg123_replace_reader_handle(mh, readRuns, seekRuns, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh, d->reader_.get()) != MPG123_OK)
        return nullptr;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate != d->sampleRate() ||
        channels != 2 || encoding != MPG123_ENC_SIGNED_16)
        return nullptr;
    // The first frame is read: libmpg123 knows by now whether it has a gain.
    double base = 0, really = 0, rvaDb = 0;
    if (gain && d->info_.apeTag && mpg123_getvolume(mh, &base, &really, &rvaDb) == MPG123_OK && rvaDb == 0)
        applyApeGain(mh, d->fd_.get());
    return d;
}

int Decoder::lengthSeconds() const {
    return static_cast<int>(std::lround(info_.seconds()));
}

std::span<const std::int16_t> Decoder::take(std::size_t maxFrames) {
    // A format notice or a frame trimmed away entirely (gapless start) yields
    // no samples: try a few more frames before calling it the end.
    for (int attempts = 0; pending_.empty() && attempts < 8; ++attempts) {
        off_t frameNo = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        const int rc = mpg123_decode_frame(mh_.get(), &frameNo, &audio, &bytes);
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) break; // end of stream or a hard error
        if (audio && bytes > 0)
            pending_ = {reinterpret_cast<const std::int16_t*>(audio), bytes / sizeof(std::int16_t)};
    }
    const auto chunk = pending_.first(std::min(pending_.size(), maxFrames * 2));
    pending_ = pending_.subspan(chunk.size());
    return chunk;
}

std::size_t Decoder::read(std::int16_t* out, std::size_t maxFrames) {
    std::size_t frames = 0;
    while (frames < maxFrames) {
        const auto chunk = take(maxFrames - frames);
        if (chunk.empty()) break;
        std::copy(chunk.begin(), chunk.end(), out + 2 * frames);
        frames += chunk.size() / 2;
    }
    return frames;
}

std::int64_t Decoder::seekSample(std::int64_t sample) {
    pending_ = {};
    const off_t landed = mpg123_seek(mh_.get(), static_cast<off_t>(sample), SEEK_SET);
    return landed < 0 ? -1 : static_cast<std::int64_t>(landed);
}

} // namespace vbmp3
