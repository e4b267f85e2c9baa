#pragma once
// One open MP3 file: validated and measured by FrameScanner, its frames
// decoded by libmpg123 into interleaved signed 16-bit stereo at the file's
// sample rate.
#include "FileHandle.h"
#include "FrameScanner.h"
#include "RunReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

struct mpg123_handle_struct;

namespace vbmp3 {

class Decoder {
public:
    // nullptr when the file is missing, not a regular file, or holds no MPEG audio.
    static std::unique_ptr<Decoder> open(const char* path);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    const StreamInfo& info() const { return info_; }
    int sampleRate() const { return info_.first.sampleRate; }
    // Whole seconds, rounded to the nearest.
    int lengthSeconds() const;

    // Up to maxFrames decoded stereo frames (interleaved samples), straight
    // from the decoder's own buffer and valid until the next call; empty at the
    // end of the stream or on an error the decoder cannot get past.
    std::span<const std::int16_t> take(std::size_t maxFrames);
    // The same, copied into out; returns the number of frames.
    std::size_t read(std::int16_t* out, std::size_t maxFrames);

    // Moves to the given sample; returns the sample it landed on, -1 on failure.
    std::int64_t seekSample(std::int64_t sample);

private:
    Decoder() = default;
    struct HandleDeleter {
        void operator()(mpg123_handle_struct* h) const;
    };
    // Declared in the order they depend on each other: the decoder handle
    // goes first, then the reader it reads through, then the file.
    FileHandle fd_;
    std::unique_ptr<RunReader> reader_;
    std::unique_ptr<mpg123_handle_struct, HandleDeleter> mh_;
    StreamInfo info_;
    std::span<const std::int16_t> pending_; // decoded, not yet taken
};

} // namespace vbmp3
