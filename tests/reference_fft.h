#pragma once
// A plain recursive radix-2 FFT in double, independent of the program's: the yardstick the
// filter and CFR tests measure spectra with.

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "tool_test_support.h"

using cd = std::complex<double>;

// X[k] = Σ x[j]·e^(sign·2πi·jk/n), unscaled; n a power of two.
inline std::vector<cd> ReferenceFft(const std::vector<cd>& x, int sign) {
    const size_t n = x.size();
    if (n == 1) return x;
    std::vector<cd> even(n / 2), odd(n / 2), out(n);
    for (size_t k = 0; k < n / 2; ++k) {
        even[k] = x[2 * k];
        odd[k] = x[2 * k + 1];
    }
    const auto e = ReferenceFft(even, sign), o = ReferenceFft(odd, sign);
    for (size_t k = 0; k < n / 2; ++k) {
        const cd t = std::polar(1.0, sign * 2 * std::numbers::pi * double(k) / double(n)) * o[k];
        out[k] = e[k] + t;
        out[k + n / 2] = e[k] - t;
    }
    return out;
}
