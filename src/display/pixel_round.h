#pragma once
// The two roundings of plot coordinates to whole pixels.

#include <cmath>

// Far outside any image, yet well inside int, so off-scale values stay defined.
inline constexpr double kPixelLimit = 1 << 24;

// Grid lines and label positions: add 0.5 and truncate downwards. NaN gives 0.
inline int RoundGridPixel(double v) {
    if (!(v == v)) return 0;
    return static_cast<int>(std::floor(std::fmax(-kPixelLimit, std::fmin(kPixelLimit, v)) + 0.5));
}

// Trace and marker points: halves away from zero. NaN gives 0.
inline int RoundHalfAwayPixel(double v) {
    if (!(v == v)) return 0;
    return static_cast<int>(std::round(std::fmax(-kPixelLimit, std::fmin(kPixelLimit, v))));
}
