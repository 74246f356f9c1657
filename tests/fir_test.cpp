// FIR filtering from a tap file against the direct circular convolution in double, the vector
// kernel against the portable one bit for bit, refusals, and a stop on 10,000,000 samples.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "tool_test_support.h"
#include "tools/fir_ops.h"

namespace {

using cd = std::complex<double>;

// A tap file of type 405 (16-bit): I and Q as given, cut to the file's precision.
std::string WriteTaps(const std::string& name, const std::vector<cd>& taps) {
    cWaveform w = MakeWaveform(static_cast<int>(taps.size()), 1'000'000,
                               [&](int k) { return taps[k] * 0.9; });
    w.fileType = kFileBin16BeTwos;
    const std::string path = TempPath(name);
    EXPECT_EQ(w.SaveFile(path), 1);
    return path;
}

// The taps the tool should use, found here: the file read back, divided by its largest
// magnitude, halved, in double; the I values.
std::vector<double> ExpectedTaps(const std::string& path) {
    cWaveform w;
    w.fileType = kFileBin16BeTwos;
    EXPECT_EQ(w.LoadFile(path, false), 0);
    double peak = 0;
    for (int k = 0; k < w.sampleCount; ++k)
        peak = std::max(peak, std::hypot(double{w.I[k]}, double{w.Q[k]}));
    std::vector<double> h(static_cast<size_t>(w.sampleCount));
    for (int k = 0; k < w.sampleCount; ++k)
        h[k] = w.I[k] / peak * 0.5;
    return h;
}

// out[n] = Σ_m h[m]·x[(n + M div 2 − m) mod N], written out directly.
std::vector<cd> CircularConvolution(const std::vector<cd>& x, const std::vector<double>& h) {
    const auto n = static_cast<int64_t>(x.size()), m = static_cast<int64_t>(h.size());
    std::vector<cd> y(x.size());
    for (int64_t k = 0; k < n; ++k) {
        cd s = 0;
        for (int64_t j = 0; j < m; ++j)
            s += h[j] * x[(((k + m / 2 - j) % n) + n) % n];
        y[k] = s;
    }
    return y;
}

struct Sizes {
    int n, taps;
};
void PrintTo(const Sizes& s, std::ostream* os) { *os << "N" << s.n << "_M" << s.taps; }

class FirAgainstConvolution : public testing::TestWithParam<Sizes> {};

TEST_P(FirAgainstConvolution, WithinAMillionthOfTheTapSum) {
    const auto [n, m] = GetParam();
    const std::string file = WriteTaps("taps.bin", UniformNoise(m, 11 * m));
    std::vector<cd> x = UniformNoise(n, 3 * n + 1);
    cWaveform w = MakeWaveform(n, 1'000'000, [&](int k) { return x[k]; });
    for (int k = 0; k < n; ++k)
        x[k] = cd(w.I[k], w.Q[k]);
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolFirFile, w, {{"file", file}}), 0) << run.LastText();
    EXPECT_EQ(run.texts, Strings{"Waveform filtered" + ReadAsNote(file, "405 16-bit BE")});
    EXPECT_TRUE(run.undoTaken);
    const std::vector<double> h = ExpectedTaps(file);
    ASSERT_EQ(h.size(), static_cast<size_t>(m));
    double sumAbs = 0;
    for (double v : h)
        sumAbs += std::fabs(v);
    const std::vector<cd> y = CircularConvolution(x, h);
    ASSERT_EQ(w.sampleCount, n);
    for (int k = 0; k < n; ++k)
        ASSERT_LT(std::abs(cd(w.I[k], w.Q[k]) - y[k]), 1e-6 * sumAbs) << "output " << k;
    std::remove(file.c_str());
}

// Counts at the limits, even and odd, more taps than samples, one sample, and waveforms long
// enough for chunks on both cores and for runs that end inside a block of the kernel.
INSTANTIATE_TEST_SUITE_P(Fir, FirAgainstConvolution,
                         testing::Values(Sizes{1000, 3}, Sizes{1000, 4}, Sizes{1000, 499},
                                         Sizes{1000, 498}, Sizes{100, 499}, Sizes{3, 7},
                                         Sizes{1, 5}, Sizes{2, 3}, Sizes{64, 64},
                                         Sizes{300'007, 255}, Sizes{200'000, 31}));

TEST(Fir, TheTapsAreTheNormalisedIValues) {
    // Largest magnitude |3 + 4j| = 5: I / 5 · 0.5.
    cWaveform t = MakeWaveform(4, 1, [](int k) {
        const cd v[] = {cd(1, 0), cd(3, 4), cd(-2, 1), cd(0, -4.5)};
        return v[k];
    });
    EXPECT_EQ(NormalisedTaps(t), (std::vector<float>{0.1f, 0.3f, -0.2f, 0.0f}));
    cWaveform zeros = MakeWaveform(3, 1, [](int) { return cd(0, 0); });
    EXPECT_EQ(NormalisedTaps(zeros), (std::vector<float>{0, 0, 0}));
}

TEST(Fir, TheVectorKernelGivesThePortableBits) {
    for (const auto& [n, m] :
         {std::pair{5000, 3}, {5000, 499}, {1024 + 63, 64}, {700, 65}, {10, 499}, {131'101, 200}}) {
        const std::vector<cd> x = UniformNoise(n, n + m);
        std::vector<float> xf(static_cast<size_t>(n)), h(static_cast<size_t>(m));
        for (int k = 0; k < n; ++k)
            xf[k] = static_cast<float>(x[k].real());
        for (int k = 0; k < m; ++k)
            h[k] = static_cast<float>(UniformNoise(m, 5)[k].imag() * 0.5);
        std::vector<float> a(xf.size()), b(xf.size());
        fir_detail::FilterChannel(xf.data(), n, h, a.data(), 0, n, true);
        fir_detail::FilterChannel(xf.data(), n, h, b.data(), 0, n, false);
        EXPECT_EQ(a, b) << n << " " << m;
        // In two pieces: the same outputs whatever the split.
        std::vector<float> c(xf.size());
        fir_detail::FilterChannel(xf.data(), n, h, c.data(), 0, n / 3, true);
        fir_detail::FilterChannel(xf.data(), n, h, c.data(), n / 3, n, true);
        EXPECT_EQ(a, c) << n << " " << m;
    }
}

// ---- Refusals: waveform and undo copy stay

// clang-format off
INSTANTIATE_TEST_SUITE_P(Fir, ToolRefusals, testing::Values(
    ToolRefusal{"TwoTaps", kToolFirFile, {{"file", "@taps2.bin"}}, {"file"}, {"Too few taps to filter with"}},
    ToolRefusal{"OneTap", kToolFirFile, {{"file", "@taps1.bin"}}, {"file"}, {"Too few taps to filter with"}},
    // Exactly 500 taps is refused as well: the filter takes at most 499.
    ToolRefusal{"FiveHundredTaps", kToolFirFile, {{"file", "@taps500.bin"}}, {"file"}, {"Too many taps to filter with"}},
    ToolRefusal{"FiveHundredOneTaps", kToolFirFile, {{"file", "@taps501.bin"}}, {"file"}, {"Too many taps to filter with"}},
    ToolRefusal{"EveryTapZero", kToolFirFile, {{"file", "@zero_taps.bin"}}, {"file"}, {"ERR: FIR tap file holds only zero taps"}},
    ToolRefusal{"Cancelled", kToolFirFile, {{"file", "cancel"}}, {"file"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"MissingFile", kToolFirFile, {{"file", "@missing.bin"}}, {"file"},
                {"ERR: FIR tap file could not be read: No such file or directory"}},
    ToolRefusal{"EmptyFile", kToolFirFile, {{"file", "@empty.bin"}}, {"file"}, {"ERR: FIR tap file could not be read: empty file"}}),
    RefusalName);
// clang-format on

// ---- Long work

TEST(Fir, StopsOnRequestWithTheWaveformUnchanged) {
    // 499 taps on 10,000,000 samples.
    const std::string file = WriteTaps("long.bin", UniformNoise(499, 8));
    cWaveform w = MakeWaveform(10'000'000, 1'000'000,
                               [](int k) { return cd(static_cast<float>(k % 77) / 77.0f, -0.25); });
    ToolRunner run;
    std::vector<int> seen;
    run.ctx.progress = [&](int percent) {
        seen.push_back(percent);
        if (percent >= 5) run.stop = true;
    };
    EXPECT_EQ(run.Run(kToolFirFile, w, {{"file", file}}), kErrStopped);
    EXPECT_EQ(run.LastText(), "Stopped: the waveform is as it was");
    ASSERT_FALSE(seen.empty());
    EXPECT_GE(seen.back(), 5);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    for (int k : {0, 76, 5'000'000, 9'999'999}) {
        EXPECT_EQ(w.I[k], static_cast<float>(k % 77) / 77.0f) << k;
        EXPECT_EQ(w.Q[k], -0.25f) << k;
    }
    EXPECT_FALSE(run.undoTaken);
    std::remove(file.c_str());
}

TEST(Fir, ProgressReachesTheEnd) {
    const std::string file = WriteTaps("progress.bin", UniformNoise(99, 9));
    cWaveform w = MakeWaveform(2'000'000, 1'000'000, [](int k) { return cd(k % 5, 1); });
    ToolRunner run;
    std::vector<int> seen;
    run.ctx.progress = [&](int percent) { seen.push_back(percent); };
    ASSERT_EQ(run.Run(kToolFirFile, w, {{"file", file}}), 0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.size(), 5u);
    EXPECT_EQ(seen.back(), 100);
    std::remove(file.c_str());
}

}  // namespace
