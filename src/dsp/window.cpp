#include "dsp/window.h"

#include <cmath>
#include <numbers>

namespace {
// Root-mean-square values of the Hann and Bartlett windows, as their nearest floats.
constexpr double kHannRms = 0.6123629808425903;
constexpr double kBartlettRms = 0.5773435831069946;
constexpr double kBlackmanHarrisRms = 0.507927;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
}  // namespace

bool IsValidWindowType(int type) {
    return type == kWindowRect || type == kWindowHann || type == kWindowBlackmanHarris ||
           type == kWindowBartlett;
}

void ComputeWindow(WindowType type, int L, std::vector<float>& table) {
    table.clear();
    if (type == kWindowRect || L < 2 || !IsValidWindowType(type)) return;
    table.resize(static_cast<size_t>(L));
    const double span = static_cast<double>(L - 1);
    for (int n = 0; n < L; ++n) {
        double w = 0.0;
        switch (type) {
            case kWindowHann: w = (1.0 - std::cos(kTwoPi * n / span)) * 0.5 / kHannRms; break;
            case kWindowBlackmanHarris: {
                const double x = n / span;
                w = (0.35875 - 0.48829 * std::cos(kTwoPi * x) +
                     0.14128 * std::cos(2.0 * kTwoPi * x) - 0.01168 * std::cos(3.0 * kTwoPi * x)) /
                    kBlackmanHarrisRms;
                break;
            }
            case kWindowBartlett: {
                const double c = span * 0.5;
                const float d = static_cast<float>(n - c);
                w = (1.0 - std::fabs(d / c)) / kBartlettRms;
                break;
            }
            default: break;
        }
        table[static_cast<size_t>(n)] = static_cast<float>(w);
    }
}

int DcHalfWidthBase(WindowType type) {
    // Bartlett's main lobe is as wide as Hann's (+-2 bins), so it takes Hann's band.
    return type == kWindowBlackmanHarris ? 5 : 10;
}
