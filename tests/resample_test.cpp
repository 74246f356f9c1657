// The resampling and transform tools against index arithmetic, a plain DFT and closed-form
// signals; refusals, sizes past 32 bits and past the largest transform, progress and stops.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "tool_test_support.h"
#include "tools/resample_ops.h"
#include "tools/transform_ops.h"

namespace {

using cd = std::complex<double>;
constexpr double kPi = std::numbers::pi;

int64_t Pow2AtLeast(int64_t n, int64_t p) {
    while (p < n)
        p *= 2;
    return p;
}

// X[k] = Σ_{t < min(N, size)} x[t]·e^{sign·2πi·kt/size}, k < size, with kt reduced mod size
// before the angle is formed.
std::vector<cd> PlainDft(const std::vector<cd>& x, int64_t size, int sign) {
    std::vector<cd> X(static_cast<size_t>(size));
    const auto n = std::min<int64_t>(static_cast<int64_t>(x.size()), size);
    for (int64_t k = 0; k < size; ++k) {
        cd s = 0;
        for (int64_t t = 0; t < n; ++t)
            s += x[t] * std::polar(1.0, sign * 2 * kPi * static_cast<double>((k * t) % size) /
                                            static_cast<double>(size));
        X[k] = s;
    }
    return X;
}

// The largest |got − expected| over the samples, as a fraction of the expected RMS.
double WorstRelative(const cWaveform& w, const std::vector<cd>& expected) {
    EXPECT_EQ(w.sampleCount, static_cast<int>(expected.size()));
    double worst = 0;
    for (size_t k = 0; k < expected.size() && k < static_cast<size_t>(w.sampleCount); ++k)
        worst = std::max(worst, std::abs(cd(w.I[k], w.Q[k]) - expected[k]));
    return worst / std::max(std::sqrt(MeanPower(expected)), 1e-30);
}

// ---- Time-domain resampling, exactly

// x[i] as a float sample holds it.
cd AsFloats(const std::vector<cd>& x, int64_t i) {
    return {static_cast<float>(x[i].real()), static_cast<float>(x[i].imag())};
}

TEST(Resample, ZeroStuffingPutsEachSampleKApart) {
    const std::vector<cd> x = UniformNoise(1'234'567);
    for (const auto& [n, k] : {std::pair{1'234'567, 3}, {1'234'567, 7}, {1'234, 100}}) {
        cWaveform w = MakeWaveform(n, 3'000'000'000, [&](int i) { return x[i]; });
        ToolRunner run;
        ASSERT_EQ(run.Run(kToolUpsampleZero, w, {{"Upsample", std::to_string(k)}}), 0);
        EXPECT_EQ(run.texts, (Strings{"Upsampling...", "Waveform Upsampled"}));
        ASSERT_EQ(w.sampleCount, n * k);
        EXPECT_EQ(w.sampleRate, 3'000'000'000 * k);  // past 32 bits, exactly
        for (int64_t j = 0; j < w.sampleCount; ++j)
            ASSERT_EQ(cd(w.I[j], w.Q[j]), j % k ? cd(0) : AsFloats(x, j / k)) << k << " " << j;
    }
}

TEST(Resample, DecimationKeepsEveryKthSample) {
    // trunc(N/K + 0.5) samples with a real division (10 by 4 keeps 0, 4 and 8); Fs / K by
    // integer division.
    const std::vector<cd> x = UniformNoise(2'500'003);
    for (const auto& [n, k, m] : {std::tuple{10, 3, 3},
                                  {10, 4, 3},
                                  {3, 2, 2},
                                  {2'500'001, 5, 500'000},
                                  {2'500'003, 5, 500'001}}) {
        cWaveform w = MakeWaveform(n, 10'000'001, [&](int i) { return x[i]; });
        ToolRunner run;
        ASSERT_EQ(run.Run(kToolDecimate, w, {{"Downsample", std::to_string(k)}}), 0);
        EXPECT_EQ(run.texts, (Strings{"Downsampling...", "Waveform Downsampled"}));
        EXPECT_EQ(w.sampleRate, 10'000'001 / k);
        ASSERT_EQ(w.sampleCount, m) << n << "/" << k;
        for (int i = 0; i < m; ++i)
            ASSERT_EQ(cd(w.I[i], w.Q[i]), AsFloats(x, int64_t{i} * k)) << n << "/" << k;
    }
    cWaveform one = MakeWaveform(1'000'000, 1'000'000, [&](int i) { return x[i]; });
    EXPECT_EQ(Decimate(one, 999'999, ToolContext{}), kErrTooShort);
}

// ---- The spectrum tools against a plain DFT

// N samples up or down by K: the kept bins of the Nf-point DFT (Nf the power of two from 8 that
// holds N), transformed back at Nf·K or Nf / K points.
struct Sized {
    int n, k;
    bool up;
};
void PrintTo(const Sized& s, std::ostream* os) {
    *os << (s.up ? "Up" : "Down") << s.n << "_K" << s.k;
}

class SpectrumResample : public testing::TestWithParam<Sized> {};

TEST_P(SpectrumResample, MatchesThePlainDft) {
    const auto [n, k, up] = GetParam();
    cWaveform w = FromSamples(UniformNoise(n, (up ? 7 : 3) * n + k), 1'000'001);
    const std::vector<cd> x = Samples(w);
    ASSERT_EQ(up ? FftUpsample(w, k, ToolContext{}) : FftDownsample(w, k, ToolContext{}), kToolOk);
    // Nf·K bins, not the power of two above N·K: below 8 samples that one would be smaller.
    const int64_t nf = Pow2AtLeast(n, 8), nfOut = up ? nf * k : nf / k, kept = std::min(nf, nfOut);
    std::vector<cd> X = PlainDft(x, nf, -1), Y(static_cast<size_t>(nfOut));
    for (int64_t b = 0; b < kept / 2; ++b) {
        Y[b] = X[b] / static_cast<double>(nf);
        Y[nfOut - kept / 2 + b] = X[nf - kept / 2 + b] / static_cast<double>(nf);
    }
    std::vector<cd> y = PlainDft(Y, nfOut, +1);
    y.resize(static_cast<size_t>(up ? n * k : n / k));
    EXPECT_LT(WorstRelative(w, y), 1e-5);
    EXPECT_EQ(w.sampleRate, up ? 1'000'001 * k : 1'000'001 / k);
}

INSTANTIATE_TEST_SUITE_P(Resample, SpectrumResample,
                         testing::Values(Sized{1, 2, true}, Sized{1, 256, true}, Sized{2, 4, true},
                                         Sized{3, 2, true}, Sized{7, 8, true}, Sized{8, 2, true},
                                         Sized{9, 4, true}, Sized{13, 16, true}, Sized{64, 2, true},
                                         Sized{100, 4, true}, Sized{257, 2, true},
                                         Sized{16, 2, false}, Sized{20, 4, false},
                                         Sized{33, 2, false}, Sized{64, 8, false},
                                         Sized{100, 2, false}, Sized{1000, 16, false},
                                         Sized{2048, 256, false}));

TEST(Transforms, ForwardIsTheDftOverNfAndInverseTheUnscaledDft) {
    // From 8 points: an inverse of 4 or fewer points would leave the data as it was.
    for (int n : {1, 3, 4, 5, 8, 13, 64, 100, 129}) {
        const std::vector<cd> x = Samples(FromSamples(UniformNoise(n, n)));
        const int64_t nf = Pow2AtLeast(n, 8);
        for (const auto& [id, sign, text] : {std::tuple{kToolForwardFft, -1, "FFT performed"},
                                             {kToolInverseFft, +1, "iFFT performed"}}) {
            cWaveform w = FromSamples(x);
            ToolRunner run;
            ASSERT_EQ(run.Run(id, w), 0);
            EXPECT_EQ(run.texts, Strings{text});
            std::vector<cd> X = PlainDft(x, nf, sign);
            for (cd& v : X)
                v /= sign < 0 ? static_cast<double>(nf) : 1.0;
            EXPECT_LT(WorstRelative(w, X), 1e-5) << n << " " << text;
            EXPECT_EQ(w.sampleRate, 30'720'000);
        }
    }
}

TEST(Transforms, ForwardThenInverseRestoresPowersOfTwo) {
    for (int n : {8, 64, 4096, 1 << 21}) {
        const std::vector<cd> x = UniformNoise(n, 5);
        cWaveform w = FromSamples(x);
        const std::vector<cd> before = Samples(w);
        ToolRunner run;
        ASSERT_EQ(run.Run(kToolForwardFft, w), 0);
        ASSERT_EQ(run.Run(kToolInverseFft, w), 0);
        EXPECT_LT(WorstRelative(w, before), 1e-5) << n;
    }
}

// ---- Against signals with a closed form

struct Tone {
    int bin;  // cycles over the N input samples
    double amplitude, phase;
};
cd ToneSum(const std::vector<Tone>& tones, double m, double period) {
    cd s = 0;
    for (const Tone& t : tones)
        s += std::polar(t.amplitude, 2 * kPi * t.bin * m / period + t.phase);
    return s;
}

TEST(Resample, FftInterpolationGivesTheAnalyticSignalAtTheNewRate) {
    // Periodic in N and without energy at N/2: the band-limited signal the spectrum describes.
    const int n = 4096;
    const std::vector<Tone> tones = {
        {3, 0.3, 0.1}, {-17, 0.2, 2.0}, {250, 0.1, -1.0}, {-1000, 0.25, 0.5}, {2000, 0.05, 3.0}};
    for (int k : {2, 4, 16, 256}) {
        cWaveform w = MakeWaveform(n, 30'720'000, [&](int t) { return ToneSum(tones, t, n); });
        ToolRunner run;
        ASSERT_EQ(run.Run(kToolUpsampleFft, w, {{"Upsample", std::to_string(k)}}), 0);
        EXPECT_EQ(run.texts, (Strings{"Upsampling...", "Waveform Upsampled"}));
        std::vector<cd> y(static_cast<size_t>(n) * k);
        for (size_t m = 0; m < y.size(); ++m)
            y[m] = ToneSum(tones, static_cast<double>(m), static_cast<double>(n) * k);
        EXPECT_LT(WorstRelative(w, y), 1e-4) << k;
        // The same tones in Hz at K times the rate.
        EXPECT_EQ(w.sampleRate, int64_t{30'720'000} * k);
    }
}

TEST(Resample, FftDownsamplingKeepsInBandTonesAndDropsTheRest) {
    const int n = 8192, k = 4, out = n / k;
    // In band: |bin| < out/2 = 1024 cycles over the waveform.
    const std::vector<Tone> in = {{5, 0.3, 0.2}, {-300, 0.2, 1.0}, {1000, 0.25, -2.0}};
    const std::vector<Tone> outside = {{1500, 0.3, 0.0}, {-3000, 0.2, 1.5}, {4000, 0.1, 0.3}};
    cWaveform w = MakeWaveform(n, 61'440'000,
                               [&](int t) { return ToneSum(in, t, n) + ToneSum(outside, t, n); });
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolDownsampleFft, w, {{"DownsampleFFT", std::to_string(k)}}), 0);
    EXPECT_EQ(run.texts, (Strings{"Downsampling...", "Waveform Downsampled"}));
    std::vector<cd> y(out);
    for (int m = 0; m < out; ++m)
        y[m] = ToneSum(in, m, out);
    EXPECT_LT(WorstRelative(w, y), 1e-4);
    EXPECT_EQ(w.sampleRate, 15'360'000);
}

// ---- Refusals and failures: the waveform, its rate and the undo copy stay

const std::string kBadZeroStuff = "ERR: Invalid upsampling integer requested";
const std::string kBadFftUp = "ERR: Invalid Upsampling ratio for FFT Processing";
const std::string kBadDecimate = "ERR: Invalid Downsampling ratio requested";
const std::string kBadFftDown = "Invalid Downsampling ratio for FFT Processing";
const Strings kUpFailed = {"Upsampling...", "ERR: Waveform Upsample failed"};
const Strings kFftUpFailed = {"Upsampling...", "ERR: Waveform FFTUpsample failed"};
const Strings kDownFailed = {"Downsampling...", "ERR: Waveform Downsample failed"};
const Strings kFftDownFailed = {"Downsampling...", "ERR: Waveform FFTDownsample failed"};
const Strings kUp = {"Upsample"}, kDown = {"Downsample"}, kFftDown = {"DownsampleFFT"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Resample, ToolRefusals, testing::ValuesIn(OnSamples(100, {
    ToolRefusal{"ZeroStuffZero", kToolUpsampleZero, {{"Upsample", "0"}}, kUp, {kBadZeroStuff}},
    ToolRefusal{"ZeroStuff101", kToolUpsampleZero, {{"Upsample", "101"}}, kUp, {kBadZeroStuff}},
    ToolRefusal{"ZeroStuffCancelled", kToolUpsampleZero, {{"Upsample", "cancel"}}, kUp, {kCancelledText}, kErrCancelled},
    // 1 passes the prompt and fails in the operation.
    ToolRefusal{"ZeroStuffByOne", kToolUpsampleZero, {{"Upsample", "1"}}, kUp, kUpFailed},
    ToolRefusal{"ZeroStuffEmpty", kToolUpsampleZero, {}, kUp, kUpFailed, 0, {}, 0},
    ToolRefusal{"ZeroStuffPastTheLimit", kToolUpsampleZero, {{"Upsample", "100"}}, kUp, kUpFailed, 0, {}, 1'000'001},
    ToolRefusal{"FftUpByThree", kToolUpsampleFft, {{"Upsample", "3"}}, kUp, {kBadFftUp}},
    ToolRefusal{"FftUpByOne", kToolUpsampleFft, {{"Upsample", "1"}}, kUp, {kBadFftUp}},
    ToolRefusal{"FftUpBy1024", kToolUpsampleFft, {{"Upsample", "1024"}}, kUp, {kBadFftUp}},
    ToolRefusal{"FftUpCancelled", kToolUpsampleFft, {{"Upsample", "cancel"}}, kUp, {kCancelledText}, kErrCancelled},
    ToolRefusal{"FftUpBy512FailsInTheOperation", kToolUpsampleFft, {{"Upsample", "512"}}, kUp, kFftUpFailed},
    ToolRefusal{"FftUpEmpty", kToolUpsampleFft, {}, kUp, kFftUpFailed, 0, {}, 0},
    ToolRefusal{"FftUpPastTheLimit", kToolUpsampleFft, {{"Upsample", "256"}}, kUp, kFftUpFailed, 0, {}, 400'000},
    ToolRefusal{"DecimateZero", kToolDecimate, {{"Downsample", "0"}}, kDown, {kBadDecimate}},
    ToolRefusal{"DecimateByN", kToolDecimate, {{"Downsample", "100"}}, kDown, {kBadDecimate}},
    ToolRefusal{"DecimateCancelled", kToolDecimate, {{"Downsample", "cancel"}}, kDown, {kCancelledText}, kErrCancelled},
    ToolRefusal{"DecimateByOne", kToolDecimate, {{"Downsample", "1"}}, kDown, kDownFailed},
    // 10 / 7 + 0.5 truncates to 1: one sample is no waveform.
    ToolRefusal{"DecimateToOneSample", kToolDecimate, {{"Downsample", "7"}}, kDown, kDownFailed, 0, {}, 10},
    ToolRefusal{"FftDownBySix", kToolDownsampleFft, {{"DownsampleFFT", "6"}}, kFftDown, {kBadFftDown}},
    ToolRefusal{"FftDownBy1024", kToolDownsampleFft, {{"DownsampleFFT", "1024"}}, kFftDown, {kBadFftDown}},
    ToolRefusal{"FftDownCancelled", kToolDownsampleFft, {{"DownsampleFFT", "cancel"}}, kFftDown, {kCancelledText}, kErrCancelled},
    ToolRefusal{"FftDownBy512FailsInTheOperation", kToolDownsampleFft, {{"DownsampleFFT", "512"}}, kFftDown, kFftDownFailed},
    ToolRefusal{"FftDownToOneSample", kToolDownsampleFft, {{"DownsampleFFT", "2"}}, kFftDown, kFftDownFailed, 0, {}, 3},
    // N / K = 2 samples, but Nf / K = 4 bins: below the 8-point transform.
    ToolRefusal{"FftDownBelowEightBins", kToolDownsampleFft, {{"DownsampleFFT", "8"}}, kFftDown, kFftDownFailed, 0, {}, 20}})),
    RefusalName);
// clang-format on

// ---- Sizes past 32 bits and past the largest transform, on untouched waveforms

TEST(Resample, SizesThatWouldWrap32BitsFailBeforeAllocating) {
    const ToolContext ctx;
    // 42,949,673 · 100 = 4,294,967,300: 4 once wrapped.
    cWaveform a = Untouched(42'949'673);
    EXPECT_EQ(ZeroStuff(a, 100, ctx), kErrTooLong);
    // (2^24 + 1) · 256 = 2^32 + 256: 256 once wrapped.
    cWaveform b = Untouched((1 << 24) + 1);
    EXPECT_EQ(FftUpsample(b, 256, ctx), kErrTooLong);
    // Through the tool, without an undo copy: the text of the failure, the waveform as it was.
    ToolRunner run;
    run.input.answers = {{"Upsample", "256"}};
    EXPECT_EQ(RunTool(*FindTool(kToolUpsampleFft), run.ctx, b, {}), kErrTooLong);
    EXPECT_EQ(run.texts.back(), "ERR: Waveform FFTUpsample failed");
    EXPECT_EQ(b.sampleCount, (1 << 24) + 1);
    EXPECT_EQ(b.sampleRate, 1'000'000);
    // A 16-bit real or marker file can hold 2.5·10^8 samples: 2^28 bins, past the transform.
    cWaveform c = Untouched((1 << 27) + 1);
    EXPECT_EQ(FftDownsample(c, 2, ctx), kErrTooLong);
    EXPECT_EQ(c.sampleCount, (1 << 27) + 1);
    // The transform tools: 2^27 results would exceed 100,000,000 samples.
    cWaveform d = Untouched((1 << 26) + 1);
    EXPECT_EQ(ReplaceBySpectrum(d, ctx), kErrTooLong);
    EXPECT_EQ(ReplaceByInverseTransform(d, ctx), kErrTooLong);
    EXPECT_EQ(d.sampleCount, (1 << 26) + 1);
    ToolRunner fft;
    EXPECT_EQ(RunTool(*FindTool(kToolForwardFft), fft.ctx, d, {}), kErrTooLong);
    EXPECT_EQ(fft.texts.back(), "ERR: FFT failed: the result would exceed 100000000 samples");
    // A rate that would not fit in 64 bits.
    cWaveform e = FromSamples(UniformNoise(10), std::numeric_limits<int64_t>::max() / 3);
    EXPECT_EQ(ZeroStuff(e, 4, ctx), kErrResampleFactor);
    EXPECT_EQ(FftUpsample(e, 4, ctx), kErrResampleFactor);
    EXPECT_EQ(e.sampleCount, 10);
}

// The small sizes and the transform's limits show in the tests above.
TEST(Resample, TransformSizesOfNothingPast32BitsAndNotPowersOfTwo) {
    EXPECT_EQ(SpectrumSizeFor(0), 8);
    EXPECT_EQ(SpectrumSizeFor(int64_t{1} << 40), int64_t{1} << 40);
    EXPECT_EQ(SpectrumSizeFor((int64_t{1} << 40) + 1), int64_t{1} << 41);
    EXPECT_FALSE(IsTransformSize(24));
}

// ---- Long work: progress, and a stop request from the progress callback

// 50,000,000 samples of a slow tone: the largest FFT interpolation by 2 (2^26 → 2^27 points).
cWaveform FiftyMillion() {
    return MakeWaveform(50'000'000, 100'000'000,
                        [](int k) { return cd(static_cast<float>(k % 1000) / 1000.0f, 0.5); });
}

class LongInterpolation : public testing::TestWithParam<int> {};

TEST_P(LongInterpolation, StopsOnRequestWithTheWaveformUnchanged) {
    const int stopAt = GetParam();
    cWaveform w = FiftyMillion();
    ToolRunner run;
    std::vector<int> seen;
    run.ctx.progress = [&](int percent) {
        seen.push_back(percent);
        if (percent >= stopAt) run.stop = true;
    };
    EXPECT_EQ(run.Run(kToolUpsampleFft, w, {{"Upsample", "2"}}), kErrStopped);
    EXPECT_EQ(run.LastText(), "Stopped: the waveform is as it was");
    ASSERT_FALSE(seen.empty());
    EXPECT_GE(seen.back(), stopAt);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(w.sampleCount, 50'000'000);
    EXPECT_EQ(w.sampleRate, 100'000'000);
    for (int k : {0, 999, 12'345'678, 49'999'999}) {
        EXPECT_EQ(w.I[k], static_cast<float>(k % 1000) / 1000.0f) << k;
        EXPECT_EQ(w.Q[k], 0.5f) << k;
    }
    EXPECT_FALSE(run.undoTaken);
}

// In the forward transform (2^26 points), and in the inverse (2^27).
INSTANTIATE_TEST_SUITE_P(Resample, LongInterpolation, testing::Values(10, 60));

TEST(Resample, ProgressRisesThroughEveryStepToTheEnd) {
    // 2^21 samples: transforms of 2^21 and 2^23 points, past the 2^20-point blocks.
    cWaveform w = FromSamples(UniformNoise(1 << 21), 1'000'000);
    ToolRunner run;
    std::vector<int> seen;
    run.ctx.progress = [&](int percent) { seen.push_back(percent); };
    ASSERT_EQ(run.Run(kToolUpsampleFft, w, {{"Upsample", "4"}}), 0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.size(), 10u);
    EXPECT_GE(seen.back(), 95);
    EXPECT_EQ(w.sampleCount, 1 << 23);
}

}  // namespace
