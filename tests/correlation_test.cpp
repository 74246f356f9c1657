// The correlation tools against a plain DFT, band-limited signals delayed in the frequency
// domain, and a frequency-shifted copy.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

#include "tool_test_support.h"
#include "tools/correlation_ops.h"
#include "waveform/waveform.h"

namespace {

using cd = std::complex<double>;
constexpr double kPi = std::numbers::pi;

// A band-limited random signal of n samples (bins within |f| < 0.2), delayed circularly by d
// samples (a fractional d by the phase of every bin).
std::vector<cd> BandLimited(int n, double d, unsigned seed = 3) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> g;
    std::vector<cd> spectrum(n);
    for (int k = 0; k < n; ++k) {
        const int f = k <= n / 2 ? k : k - n;
        if (std::abs(f) < 0.2 * n)
            spectrum[k] = cd(g(rng), g(rng)) * std::polar(1.0, -2 * kPi * f * d / n);
    }
    std::vector<cd> x(n);
    for (int m = 0; m < n; ++m) {
        cd s = 0;
        for (int k = 0; k < n; ++k)
            s += spectrum[k] * std::polar(1.0, 2 * kPi * k * m / n);
        x[m] = s / std::sqrt(double(n)) * 0.05;
    }
    return x;
}

TEST(Correlation, AutocorrelationIsTheInverseTransformOfThePowerSpectrum) {
    const std::vector<cd> x = BandLimited(100, 0.0);
    cWaveform w = FromSamples(x);
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolAutocorrelation, w), 0);
    EXPECT_EQ(run.LastText(), "Autocorrelation performed");
    ASSERT_EQ(w.sampleCount, 128);
    // |X_k|^2 of the zero-padded samples (each bin divided by 128), then the unscaled inverse.
    std::vector<double> power(128);
    for (int k = 0; k < 128; ++k) {
        cd s = 0;
        for (int m = 0; m < 100; ++m)
            s += cd(w.sampleRate ? static_cast<float>(x[m].real()) : 0,
                    static_cast<float>(x[m].imag())) *
                 std::polar(1.0, -2 * kPi * k * m / 128);
        power[k] = std::norm(s / 128.0);
    }
    double peak = 0;
    for (int m = 0; m < 128; ++m) {
        cd r = 0;
        for (int k = 0; k < 128; ++k)
            r += power[k] * std::polar(1.0, 2 * kPi * k * m / 128);
        peak = std::max(peak, std::abs(r));
        EXPECT_NEAR(w.I[m], r.real(), 1e-5 * std::abs(power[0]) * 128) << m;
        EXPECT_NEAR(w.Q[m], r.imag(), 1e-5 * std::abs(power[0]) * 128) << m;
    }
    EXPECT_NEAR(std::hypot(w.I[0], w.Q[0]), peak, 1e-6 * peak);  // lag 0 is the largest
}

// A copy delayed by d samples, whole or fractional, on a power of two and on lengths the
// circular correlation repeats: the reported lag is d.
class Lags : public testing::TestWithParam<std::tuple<int, double, int>> {};

TEST_P(Lags, CrossCorrelationsFindTheDelay) {
    const auto [tool, delay, n] = GetParam();
    const std::vector<cd> x = BandLimited(n, 0.0), r = BandLimited(n, delay);
    cWaveform loaded = FromSamples(x);
    ToolContext ctx;
    double lag = 0;
    const cWaveform reference = FromSamples(r);
    const int code = tool == kToolCrossCorrelation
                         ? CrossCorrelate(loaded, reference, &lag, ctx)
                         : CircularCrossCorrelate(loaded, reference, &lag, ctx);
    ASSERT_EQ(code, 0);
    EXPECT_NEAR(lag, delay, 0.05);
    if (n == 1024) {
        EXPECT_EQ(loaded.sampleCount, n);  // the correlation, at the transform's size
    }
}

INSTANTIATE_TEST_SUITE_P(
    WholeAndFractional, Lags,
    testing::Combine(testing::Values(kToolCrossCorrelation, kToolCircularCorrelation),
                     testing::Values(0.0, 5.0, 5.3, -17.7), testing::Values(1024, 1000, 3000)));

// Two echoes in the reference: the circular correlation reports the stronger one, whichever
// lies first.
TEST(Correlation, CircularCorrelationTakesTheStrongerPeak) {
    const int n = 1024;
    const std::vector<cd> x = BandLimited(n, 0.0), near = BandLimited(n, 12.0),
                          far = BandLimited(n, 300.0);
    for (const auto& [weakFactor, expected] : {std::pair{0.5, 12.0}, {2.0, 300.0}}) {
        std::vector<cd> r(n);
        for (int k = 0; k < n; ++k)
            r[k] = near[k] + weakFactor * far[k];
        cWaveform loaded = FromSamples(x);
        ToolContext ctx;
        double lag = 0;
        ASSERT_EQ(CircularCrossCorrelate(loaded, FromSamples(r), &lag, ctx), 0);
        EXPECT_NEAR(lag, expected, 0.05) << weakFactor;
    }
}

class FrequencyOffsets : public testing::TestWithParam<int64_t> {};

TEST_P(FrequencyOffsets, AreFoundAndRemoved) {
    // The reference is the waveform shifted by fs / 30.72 (+1 MHz at 30.72 Msps); a rate past
    // 32 bits must give the same result in its own units.
    const int n = 2048;
    const int64_t fs = GetParam();
    const double shiftHz = fs / 30.72;
    const std::vector<cd> x = BandLimited(n, 0.0, 9);
    std::vector<cd> shifted(n);
    for (int k = 0; k < n; ++k)
        shifted[k] = x[k] * std::polar(1.0, 2 * kPi * shiftHz * k / fs);
    cWaveform loaded = FromSamples(x, fs);
    const cWaveform reference = FromSamples(shifted, fs);
    ToolContext ctx;
    double offset = 0;
    ASSERT_EQ(AlignFrequency(loaded, reference, &offset, ctx), 0);
    EXPECT_NEAR(std::fabs(offset), shiftHz, fs / (10.0 * n));
    // Lined up with the reference: what frequency is left between them, read from the phase
    // steps of their product, is within the same accuracy.
    cd steps = 0;
    for (int k = 0; k + 1 < n; ++k) {
        const cd a = shifted[k] * std::conj(cd(loaded.I[k], loaded.Q[k]));
        const cd b = shifted[k + 1] * std::conj(cd(loaded.I[k + 1], loaded.Q[k + 1]));
        steps += b * std::conj(a);
    }
    EXPECT_LT(std::fabs(std::arg(steps) / (2 * kPi) * fs), fs / (10.0 * n));
}
INSTANTIATE_TEST_SUITE_P(Correlation, FrequencyOffsets, testing::Values(30'720'000, 5'000'000'000));

TEST(Correlation, ReferencesThatCannotBeUsedChangeNothing) {
    const std::string path = ::testing::TempDir() + "short_ref_1MSPS.bin";
    cWaveform shortRef = FromSamples(BandLimited(999, 0.0));
    shortRef.fileType = kFileBin16BeTwos;
    ASSERT_EQ(shortRef.SaveFile(path), 1);
    for (int id : {kToolCrossCorrelation, kToolCircularCorrelation, kToolFrequencyOffset}) {
        ToolRunner run;
        cWaveform w = FromSamples(BandLimited(1000, 0.0));
        const FloatArray before = w.I;
        EXPECT_EQ(run.Run(id, w, {{"file", path}}), kErrReferenceShort) << id;
        EXPECT_EQ(run.LastText(), "CrossCorrelation failed due to reference waveform too short");
        EXPECT_EQ(w.I, before);
        EXPECT_FALSE(run.undoTaken);
        EXPECT_EQ(run.Run(id, w, {{"file", "cancel"}}), kErrCancelled);
        EXPECT_EQ(run.texts, Strings{kCancelledText});
        EXPECT_EQ(run.Run(id, w, {{"file", path + ".missing"}}), kErrLoadFailed);
        EXPECT_EQ(run.LastText(),
                  "ERR: CrossCorrelation failed, the reference could not be read: No such file or "
                  "directory");
        EXPECT_FALSE(run.undoTaken);
    }
    // One sample has no frequency to find.
    ToolRunner one;
    cWaveform single = FromSamples(BandLimited(1, 0.0));
    EXPECT_EQ(one.Run(kToolFrequencyOffset, single, {{"file", path}}), kErrTooShort);
    EXPECT_EQ(one.LastText(), "ERR: Freq Domain Cross Correlation needs two or more samples");
    EXPECT_FALSE(one.undoTaken);
    // A waveform with nothing in common with the reference: no offset, nothing changed.
    cWaveform silent = MakeWaveform(64, 1'000'000, [](int) { return cd(0, 0); });
    ToolContext ctx;
    double offset = 5;
    EXPECT_EQ(AlignFrequency(silent, FromSamples(BandLimited(64, 0.0)), &offset, ctx), kErrLevel);
    EXPECT_EQ(offset, 0.0);
    std::remove(path.c_str());
}

TEST(Correlation, PeakCentroidTakesTheFirstLargestAndClearsWhatItUsed) {
    std::vector<double> v(64, 0.0);
    v[10] = 4;
    v[9] = v[11] = 1;  // symmetric around 10
    v[40] = 8;
    v[41] = 2;  // leans right of 40
    double sum = 0;
    const double first = PeakCentroid(v, 20.0, true, &sum);
    EXPECT_GT(first, 40.0);
    EXPECT_LT(first, 41.0);
    EXPECT_NEAR(sum, 10.0, 1e-9);
    EXPECT_EQ(v[40], 0.0);
    EXPECT_DOUBLE_EQ(PeakCentroid(v, 20.0, true), 10.0);
}

}  // namespace
