#include "Decoder.h"

#include <fcntl.h>
#include <mpg123.h>

#include <cmath>

namespace vbmp3 {
namespace {

bool libraryReady() {
    // mpg123_init is a no-op in current libmpg123 but still required by older ones.
    static const bool ok = mpg123_init() == MPG123_OK;
    return ok;
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
    d->info_ = *info;

    int err = MPG123_OK;
    d->mh_.reset(mpg123_new(nullptr, &err));
    if (!d->mh_) return nullptr;
    mpg123_handle* mh = d->mh_.get();
    // Quiet, gapless; mono is spread to both channels so that the output format
    // never changes within a file and the volume applies per channel.
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_STEREO, 0);
    // The scanner may have accepted junk before the first frame; let the
    // decoder skip as far as the scanner looked.
    mpg123_param(mh, MPG123_RESYNC_LIMIT, FrameScanner::kSearchLimit + 4096, 0);
    mpg123_format_none(mh);
    if (mpg123_format(mh, d->sampleRate(), MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK)
        return nullptr;
    if (mpg123_open_fd(mh, d->fd_.get()) != MPG123_OK) return nullptr;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate != d->sampleRate() ||
        channels != 2 || encoding != MPG123_ENC_SIGNED_16)
        return nullptr;
    return d;
}

int Decoder::lengthSeconds() const {
    return static_cast<int>(std::lround(info_.seconds()));
}

std::size_t Decoder::read(std::int16_t* out, std::size_t maxFrames) {
    const size_t bytes = maxFrames * 2 * sizeof(std::int16_t);
    // A format notice or a skipped frame may yield no bytes: try a few times.
    for (int attempts = 0; attempts < 8; ++attempts) {
        size_t done = 0;
        const int rc = mpg123_read(mh_.get(), reinterpret_cast<unsigned char*>(out), bytes, &done);
        if (done > 0) return done / (2 * sizeof(std::int16_t));
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) return 0; // end of stream or a hard error
    }
    return 0;
}

std::int64_t Decoder::seekSample(std::int64_t sample) {
    off_t landed = mpg123_seek(mh_.get(), static_cast<off_t>(sample), SEEK_SET);
    return landed < 0 ? -1 : static_cast<std::int64_t>(landed);
}

} // namespace vbmp3
