// The Parks-McClellan design checked by its defining property: the weighted error of the
// response computed from the taps here (not by the design's own code) alternates in sign with
// one magnitude at r + 1 frequencies, and is nowhere larger.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/remez.h"

namespace {

constexpr double kPi = std::numbers::pi;

// Zero-phase response of symmetric taps at f (cycles per sample).
double Response(const std::vector<double>& h, double f) {
    const double centre = (h.size() - 1) / 2.0;
    double sum = 0.0;
    for (size_t m = 0; m < h.size(); ++m)
        sum += h[m] * std::cos(2 * kPi * f * (m - centre));
    return sum;
}

struct Design {
    int taps;
    double pass, stop, passWeight, stopWeight;
};
void PrintTo(const Design& d, std::ostream* os) {
    *os << d.taps << " taps, " << d.pass << " / " << d.stop << ", weights " << d.passWeight << " / "
        << d.stopWeight;
}

std::vector<RemezBand> Bands(const Design& d) {
    return {{0.0, d.pass, 1.0, d.passWeight}, {d.stop, 0.5, 0.0, d.stopWeight}};
}

class Equiripple : public testing::TestWithParam<Design> {};

TEST_P(Equiripple, ErrorAlternatesWithOneMagnitudeAndIsNowhereLarger) {
    const Design d = GetParam();
    const RemezResult r = RemezDesign(d.taps, Bands(d));
    ASSERT_TRUE(r.converged) << r.iterations;
    ASSERT_EQ(r.taps.size(), size_t(d.taps));
    for (int m = 0; m < d.taps; ++m)
        ASSERT_NEAR(r.taps[m], r.taps[d.taps - 1 - m], 1e-12) << m;
    const size_t extrema = d.taps / 2 + (d.taps % 2) + 1;
    ASSERT_EQ(r.extremalFrequencies.size(), extrema);
    // (A grid point on the passband edge may lie an ulp beyond it.)
    auto weightedError = [&](double f) {
        return f <= d.pass + 1e-12 ? d.passWeight * (1.0 - Response(r.taps, f))
                                   : d.stopWeight * (0.0 - Response(r.taps, f));
    };
    double previousSign = 0;
    for (size_t k = 0; k < extrema; ++k) {
        const double e = weightedError(r.extremalFrequencies[k]);
        EXPECT_NEAR(std::fabs(e) / r.deviation, 1.0, 1e-6) << k;
        EXPECT_NE(e > 0 ? 1.0 : -1.0, previousSign) << k;
        EXPECT_EQ(e > 0 ? 1 : -1, r.extremalSigns[k]);
        previousSign = e > 0 ? 1.0 : -1.0;
    }
    // Between them, on a grid ten times finer than the design's, nothing much larger: the
    // design sees only its own grid, 16 points per extremum, so a peak between two of its
    // points may stand a few percent higher.
    const int points = 20 * 16 * d.taps;
    double worst = 0;
    for (int i = 0; i <= points; ++i) {
        const double f = 0.5 * i / points;
        if (f <= d.pass || f >= d.stop) worst = std::max(worst, std::fabs(weightedError(f)));
    }
    EXPECT_LT(worst, r.deviation * 1.05);
}

INSTANTIATE_TEST_SUITE_P(OddAndEvenCounts, Equiripple,
                         testing::Values(Design{127, 0.1, 0.125, 10, 1},  // the designer's default
                                         Design{128, 0.1, 0.125, 10, 1},
                                         Design{21, 0.2, 0.3, 1, 10}, Design{22, 0.2, 0.3, 5, 6},
                                         Design{255, 0.2, 0.22, 1, 1},
                                         Design{64, 0.05, 0.1, 3, 8}));

// At the sliders' limits a narrow transition either converges with the property above or is
// reported as not converged; its taps are finite either way.
TEST(Remez, NarrowTransitionsAtTheSliderLimitsAreNeverGarbage) {
    for (const Design d : {Design{21, 0.478, 0.482, 10, 1}, Design{255, 0.478, 0.482, 1, 10},
                           Design{21, 0.011, 0.012, 10, 1}, Design{255, 0.011, 0.012, 1, 10},
                           Design{22, 0.478, 0.479, 5, 6}}) {
        const RemezResult r = RemezDesign(d.taps, Bands(d));
        ASSERT_EQ(r.taps.size(), size_t(d.taps)) << d.taps << " " << d.pass;
        for (double t : r.taps)
            ASSERT_TRUE(std::isfinite(t));
        if (r.converged && !r.atPrecision) {
            for (size_t k = 0; k < r.extremalFrequencies.size(); ++k) {
                const double f = r.extremalFrequencies[k];
                const double e = f <= d.pass + 1e-12 ? d.passWeight * (1 - Response(r.taps, f))
                                                     : -d.stopWeight * Response(r.taps, f);
                EXPECT_NEAR(std::fabs(e) / r.deviation, 1.0, 1e-6) << d.taps << " " << k;
            }
        }
    }
    // A transition wide enough for an error below what the exchange resolves settles at that
    // precision: a weighted error below -80 dB everywhere, as large as reported at most.
    const Design wide{41, 0.05, 0.35, 10, 1};
    const RemezResult r = RemezDesign(wide.taps, Bands(wide));
    EXPECT_TRUE(r.converged && r.atPrecision);
    EXPECT_LT(r.deviation, 1e-4);
    double worst = 0;
    for (int i = 0; i <= 2000; ++i) {
        const double f = 0.5 * i / 2000;
        if (f <= wide.pass)
            worst = std::max(worst, wide.passWeight * std::fabs(1 - Response(r.taps, f)));
        if (f >= wide.stop)
            worst = std::max(worst, wide.stopWeight * std::fabs(Response(r.taps, f)));
    }
    EXPECT_LE(worst, r.deviation * 1.01);
    // Arguments out of range give no taps at all.
    EXPECT_TRUE(RemezDesign(2, {{0, 0.1, 1, 1}, {0.2, 0.5, 0, 1}}).taps.empty());
    EXPECT_TRUE(RemezDesign(31, {{0, 0.3, 1, 1}, {0.2, 0.5, 0, 1}}).taps.empty());  // overlap
    EXPECT_TRUE(RemezDesign(31, {{0, 0.1, 1, 0}, {0.2, 0.5, 0, 1}}).taps.empty());  // weight 0
}

}  // namespace
