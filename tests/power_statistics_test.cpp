// Power statistics of the time-domain panel and the CCDF, the reference spline, and the two
// whole-waveform edits of the view's keys, against closed forms and plain re-computations.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/cubic_spline.h"
#include "measure/power_statistics.h"
#include "test_signals.h"
#include "waveform/sample_edits.h"
#include "waveform/waveform.h"

namespace {

// Natural cubic spline by a dense solve of the moment equations (no tridiagonal sweep).
double DenseNaturalSpline(const std::vector<double>& x, const std::vector<double>& y, double at) {
    const size_t n = x.size();
    std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
    a[0][0] = 1;
    a[n - 1][n - 1] = 1;
    for (size_t i = 1; i + 1 < n; ++i) {
        const double h0 = x[i] - x[i - 1], h1 = x[i + 1] - x[i];
        a[i][i - 1] = h0 / 6;
        a[i][i] = (h0 + h1) / 3;
        a[i][i + 1] = h1 / 6;
        a[i][n] = (y[i + 1] - y[i]) / h1 - (y[i] - y[i - 1]) / h0;
    }
    for (size_t c = 0; c < n; ++c)
        for (size_t r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (size_t k = c; k <= n; ++k)
                a[r][k] -= f * a[c][k];
        }
    std::vector<double> m(n);
    for (size_t r = n; r-- > 0;) {
        double v = a[r][n];
        for (size_t k = r + 1; k < n; ++k)
            v -= a[r][k] * m[k];
        m[r] = v / a[r][r];
    }
    size_t i = 0;
    while (i + 2 < n && at > x[i + 1])
        ++i;
    const double h = x[i + 1] - x[i], t = (at - x[i]) / h;
    return (1 - t) * y[i] + t * y[i + 1] +
           h * h / 6 *
               (((1 - t) * (1 - t) * (1 - t) - (1 - t)) * m[i] + (t * t * t - t) * m[i + 1]);
}

TEST(Spline, NaturalSplineMatchesADenseSolveAndPassesThroughItsKnots) {
    const std::vector<double> x = {0, 3.62, 6.63, 8.4, 9.65, 10.624, 11.3913, 12.1};
    const std::vector<double> y = {15.656, 10, 0, -10, -20, -30, -40, -50};
    cSpline s;
    for (size_t i = 0; i < x.size(); ++i)
        s.AddKnot(x[i], y[i]);
    for (size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(s.Evaluate(x[i]), y[i], 1e-5);
    // Knots are kept as floats: the dense reference uses the same rounded knots.
    std::vector<double> xf(x.size()), yf(y.size());
    for (size_t i = 0; i < x.size(); ++i) {
        xf[i] = static_cast<float>(x[i]);
        yf[i] = static_cast<float>(y[i]);
    }
    for (double at = 0; at <= 12.1; at += 0.05)
        EXPECT_NEAR(s.Evaluate(at), DenseNaturalSpline(xf, yf, at), 2e-4) << at;
    // Adding a knot invalidates the moments: a straight line stays straight.
    cSpline line;
    line.AddKnot(0, 1);
    line.AddKnot(1, 3);
    EXPECT_NEAR(line.Evaluate(0.25), 1.5, 1e-12);
    line.AddKnot(2, 5);
    EXPECT_NEAR(line.Evaluate(1.5), 4.0, 1e-6);
    EXPECT_EQ(cSpline().Evaluate(1.0), 0.0);
}

TEST(PowerStatistics, MatchesAPlainLoopComplexAndSingleChannelOnBothThreads) {
    std::mt19937 rng(3);
    std::normal_distribution<float> g(0.0f, 0.3f);
    // Long enough for the two-thread split, with an odd tail for the scalar loop.
    const int n = (1 << 22) + 37;
    cWaveform w =
        SignalWave(n, 1'000'000, [&](int) { return std::complex<double>(g(rng), g(rng)); });
    for (bool complex : {true, false}) {
        for (auto [first, last] : {std::pair{0, n - 1}, std::pair{5, 1000}, std::pair{7, 7}}) {
            double sum = 0, si = 0, sq = 0;
            float peak = 0;
            for (int k = first; k <= last; ++k) {
                const double i = w.I[k], q = w.Q[k];
                const float p = static_cast<float>(complex ? i * i + q * q : i * i);
                sum += p;
                peak = std::max(peak, p);
                si += i;
                sq += q;
            }
            const double N = last - first + 1;
            const PowerStatistics s =
                ComputePowerStatistics(w.I.data(), w.Q.data(), first, last, complex);
            EXPECT_EQ(s.count, last - first + 1);
            EXPECT_NEAR(s.meanPower, sum / N, 1e-12 * sum / N);
            EXPECT_EQ(s.peakPower, peak);
            EXPECT_NEAR(s.meanI, si / N, 1e-12);
            EXPECT_NEAR(s.meanQ, sq / N, 1e-12);
        }
    }
}

TEST(PowerStatistics, SilenceHasTheFloorAndRangeCorrectionsGoInOrder) {
    cWaveform w = SignalWave(16, 1000, [](int) { return std::complex<double>(0, 0); });
    const PowerStatistics s = ComputePowerStatistics(w.I.data(), w.Q.data(), 0, 15, true);
    EXPECT_NEAR(20 * std::log10(s.RmsAmplitude()), -300.0, 1e-9);
    EXPECT_NEAR(20 * std::log10(s.PeakAmplitude()) - 20 * std::log10(s.RmsAmplitude()), 0.0, 1e-12);

    struct Case {
        int64_t start, end, wantStart, wantEnd;
    };
    for (const Case c : {Case{3, 3, 3, 4}, Case{20, 25, 0, 9}, Case{2, 50, 2, 9}, Case{-4, 6, 0, 6},
                         Case{4, -2, 4, 9}, Case{9, 9, 9, 9}}) {
        int64_t s0 = c.start, e0 = c.end;
        CorrectStatisticsRange(10, s0, e0);
        EXPECT_EQ(s0, c.wantStart) << c.start << ".." << c.end;
        EXPECT_EQ(e0, c.wantEnd) << c.start << ".." << c.end;
    }
}

TEST(Ccdf, ComplexGaussianNoiseFollowsTheClosedForm) {
    // P(power > x·mean) = exp(−x): the ratio at probability q is 10·log10(ln(100/q)).
    std::mt19937 rng(11);
    std::normal_distribution<double> g(0.0, 0.1);
    const int n = 2'000'000;
    cWaveform w =
        SignalWave(n, 1'000'000, [&](int) { return std::complex<double>(g(rng), g(rng)); });
    const CcdfStatistics c = ComputeCcdfStatistics(w.I.data(), w.Q.data(), n);
    EXPECT_NEAR(c.percentAboveMean, 100 * std::exp(-1.0), 0.2);
    const double tolerance[6] = {0.02, 0.03, 0.08, 0.2, 0.5, 1.5};  // fewer samples beyond
    for (size_t i = 0; i < 4; ++i) {
        const double q = CcdfStatistics::kProbabilitiesPercent[i];
        EXPECT_NEAR(c.parDb[i], 10 * std::log10(std::log(100 / q)), tolerance[i]) << q;
    }
    EXPECT_TRUE(std::is_sorted(c.above.begin(), c.above.end()));
    EXPECT_GT(c.above.front(), c.power.meanPower);
}

TEST(Ccdf, ConstantEnvelopeAndASingleSampleAmongZeros) {
    const int n = 1000;
    cWaveform tone = SignalWave(n, 1000, [](int k) { return std::polar(0.5, 0.3 * k); });
    // Rounded sample powers differ in the last bits, so a unit-magnitude rotation is not quite
    // constant; samples on the axes are.
    cWaveform constant = SignalWave(n, 1000, [](int k) {
        return k % 2 ? std::complex<double>(0.5, 0) : std::complex<double>(0, -0.5);
    });
    const CcdfStatistics c = ComputeCcdfStatistics(constant.I.data(), constant.Q.data(), n);
    EXPECT_TRUE(c.above.empty());
    EXPECT_EQ(c.percentAboveMean, 0.0);
    for (double par : c.parDb)
        EXPECT_EQ(par, 0.0);
    const CcdfStatistics t = ComputeCcdfStatistics(tone.I.data(), tone.Q.data(), n);
    EXPECT_LT(20 * std::log10(t.power.PeakAmplitude() / t.power.RmsAmplitude()), 1e-5);

    cWaveform spike = SignalWave(n, 1000, [](int k) { return std::complex<double>(k == 400, 0); });
    const CcdfStatistics s = ComputeCcdfStatistics(spike.I.data(), spike.Q.data(), n);
    EXPECT_DOUBLE_EQ(s.percentAboveMean, 100.0 / n);
    EXPECT_NEAR(20 * std::log10(s.power.PeakAmplitude() / s.power.RmsAmplitude()),
                10 * std::log10(n), 1e-9);
}

TEST(Ccdf, RadixSortEqualsTheStandardSort) {
    std::mt19937 rng(5);
    std::exponential_distribution<float> e(3.0f);
    for (size_t m : {size_t{10}, size_t{5000}, size_t{300'001}}) {
        std::vector<float> v(m);
        for (float& x : v)
            x = e(rng) + 1e-30f;
        v[m / 2] = v[0];  // a repeat
        std::vector<float> want = v;
        std::sort(want.begin(), want.end());
        SortPositiveFloats(v);
        EXPECT_EQ(v, want) << m;
    }
    std::vector<float> same(10'000, 0.25f);  // every byte shared: no pass needed
    SortPositiveFloats(same);
    EXPECT_TRUE(std::all_of(same.begin(), same.end(), [](float x) { return x == 0.25f; }));
}

TEST(SampleEdits, OneSampleRotationsAndPhaseShiftsUndoEachOther) {
    cWaveform w = SignalWave(5, 1000, [](int k) { return std::complex<double>(k, -k); });
    RotateOneSample(w, true);
    EXPECT_EQ((std::vector<float>(w.I.begin(), w.I.end())), (std::vector<float>{1, 2, 3, 4, 0}));
    EXPECT_EQ((std::vector<float>(w.Q.begin(), w.Q.end())),
              (std::vector<float>{-1, -2, -3, -4, 0}));
    RotateOneSample(w, false);
    RotateOneSample(w, false);
    EXPECT_EQ((std::vector<float>(w.I.begin(), w.I.end())), (std::vector<float>{4, 0, 1, 2, 3}));

    cWaveform p = SignalWave(3, 1000, [](int) { return std::complex<double>(0.5, 0.0); });
    PhaseShift(p, 90.0f, PhaseShiftChannels::Both);
    EXPECT_NEAR(p.I[0], 0.0, 1e-7);
    EXPECT_NEAR(p.Q[0], 0.5, 1e-7);
    PhaseShift(p, 1.0f, PhaseShiftChannels::Both);
    const double angle = std::atan2(p.Q[1], p.I[1]) * 180 / std::numbers::pi;
    EXPECT_NEAR(angle, 91.0, 1e-4);
    PhaseShift(p, -91.0f, PhaseShiftChannels::Both);
    EXPECT_NEAR(p.I[2], 0.5, 1e-6);
    EXPECT_NEAR(p.Q[2], 0.0, 1e-6);
    cWaveform onlyI = SignalWave(1, 1000, [](int) { return std::complex<double>(0.5, 0.0); });
    PhaseShift(onlyI, 90.0f, PhaseShiftChannels::IOnly);
    EXPECT_NEAR(onlyI.I[0], 0.0, 1e-7);
    EXPECT_EQ(onlyI.Q[0], 0.0f);  // Q untouched
}

}  // namespace
