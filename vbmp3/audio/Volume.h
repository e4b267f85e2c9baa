#pragma once
// Volume 0-100 per channel on a perceptual (decibel) scale: each step of the
// bar changes loudness by the same amount; 0 is silence, 100 is unity gain.
#include <cstddef>
#include <cstdint>

namespace vbmp3 {

class Volume {
public:
    static constexpr int kMax = 100;
    static constexpr double kRangeDb = 50.0; // loudness span of the bar, 1 to 100

    // Gain for a bar value (clamped to 0..100).
    static double gain(int value);

    // Copies interleaved stereo frames, scaled; in and out may be the same.
    static void apply(const std::int16_t* in, std::int16_t* out, std::size_t count, double left,
                      double right);
};

} // namespace vbmp3
