#include "Volume.h"

#include <algorithm>
#include <cmath>

namespace vbmp3 {

double Volume::gain(int value) {
    value = std::clamp(value, 0, kMax);
    if (value == 0) return 0.0;
    return std::pow(10.0, (value - kMax) * (kRangeDb / (kMax - 1)) / 20.0);
}

void Volume::apply(const std::int16_t* in, std::int16_t* out, std::size_t count, double left,
                   double right) {
    // Fixed point keeps the loop cheap; gains never exceed 1, so no clipping.
    const auto l = static_cast<std::int32_t>(left * 65536.0 + 0.5);
    const auto r = static_cast<std::int32_t>(right * 65536.0 + 0.5);
    // Straight-line pairs, which the compiler turns into vector code.
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t a = in[2 * i], b = in[2 * i + 1];
        out[2 * i] = static_cast<std::int16_t>((a * l) >> 16);
        out[2 * i + 1] = static_cast<std::int16_t>((b * r) >> 16);
    }
}

} // namespace vbmp3
