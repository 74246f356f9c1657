// Window tables against their closed forms, end points and unit-RMS normalisation.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/window.h"

namespace {

double Rms(const std::vector<float>& w) {
    double s = 0;
    for (float v : w)
        s += double(v) * v;
    return std::sqrt(s / w.size());
}

TEST(Window, EndPointsAndCentre) {
    std::vector<float> w;
    ComputeWindow(kWindowHann, 1001, w);
    ASSERT_EQ(w.size(), 1001u);
    EXPECT_EQ(w.front(), 0.0f);
    EXPECT_EQ(w.back(), 0.0f);
    EXPECT_FLOAT_EQ(w[500], static_cast<float>(1.0 / 0.6123629808425903));

    ComputeWindow(kWindowBlackmanHarris, 1001, w);
    const float bhEnd = static_cast<float>((0.35875 - 0.48829 + 0.14128 - 0.01168) / 0.507927);
    EXPECT_FLOAT_EQ(w.front(), bhEnd);
    EXPECT_FLOAT_EQ(w.back(), bhEnd);
    EXPECT_FLOAT_EQ(w[500], static_cast<float>((0.35875 + 0.48829 + 0.14128 + 0.01168) / 0.507927));

    ComputeWindow(kWindowBartlett, 1001, w);
    EXPECT_EQ(w.front(), 0.0f);
    EXPECT_EQ(w.back(), 0.0f);
    EXPECT_FLOAT_EQ(w[500], static_cast<float>(1.0 / 0.5773435831069946));
}

TEST(Window, ClosedFormsAndSymmetry) {
    const int L = 777;
    std::vector<float> hann, bartlett;
    ComputeWindow(kWindowHann, L, hann);
    ComputeWindow(kWindowBartlett, L, bartlett);
    for (int n = 0; n < L; ++n) {
        // sin^2 form of Hann; triangle written from the distance to the ends.
        const double s = std::sin(std::numbers::pi * n / (L - 1));
        EXPECT_NEAR(hann[n], s * s / 0.6123629808425903, 2e-6);
        const double tri = 2.0 * std::min(n, L - 1 - n) / (L - 1);
        EXPECT_NEAR(bartlett[n], tri / 0.5773435831069946, 2e-6);
        EXPECT_NEAR(hann[n], hann[L - 1 - n], 1e-6);
        EXPECT_NEAR(bartlett[n], bartlett[L - 1 - n], 1e-6);
    }
}

TEST(Window, NormalisedToUnitRms) {
    // The divisors are the windows' RMS values, so a long window has RMS 1 (noise keeps its level).
    for (WindowType t : {kWindowHann, kWindowBlackmanHarris, kWindowBartlett}) {
        std::vector<float> w;
        ComputeWindow(t, 65536, w);
        EXPECT_NEAR(Rms(w), 1.0, 2e-4) << t;
    }
}

TEST(Window, RectAndDegenerateLengthsHaveNoTable) {
    std::vector<float> w(5, 1.0f);
    ComputeWindow(kWindowRect, 1024, w);
    EXPECT_TRUE(w.empty());
    ComputeWindow(kWindowHann, 1, w);
    EXPECT_TRUE(w.empty());
    ComputeWindow(static_cast<WindowType>(225), 16, w);
    EXPECT_TRUE(w.empty());
    ComputeWindow(kWindowHann, 2, w);
    EXPECT_EQ(w, std::vector<float>({0.0f, 0.0f}));
}

}  // namespace
