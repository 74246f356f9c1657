// The sample-wise modifiers against formulas in double, corner values, long waveforms, second
// files (combining, a marker file), and refusals that leave waveform and undo copy alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numbers>
#include <numeric>
#include <tuple>
#include <vector>

#include "tool_test_support.h"
#include "tools/modifier_ops.h"
#include "tools/shift_ops.h"
#include "tools/tool_step.h"

namespace {

using cd = std::complex<double>;
constexpr double kPi = std::numbers::pi;
constexpr int64_t kFs = 30'720'000;
constexpr int kN = 1003;  // not a multiple of 4: the quarter-rate shifts must reach the end

double Gain(double db) { return std::pow(10.0, db / 20.0); }
cd At(const cWaveform& w, int64_t k) { return {w.I[k], w.Q[k]}; }

// Reproducible samples with I and Q in [-1.5, 1.5): some beyond full scale, some small.
std::vector<cd> TestSamples(int n) {
    std::vector<cd> x(n);
    uint32_t s = 12345;
    auto next = [&] {
        s = s * 1664525u + 1013904223u;
        return static_cast<float>(s >> 8) / 16777216.0f * 3.0f - 1.5f;
    };
    for (cd& v : x) {
        const float i = next(), q = next();
        v = cd(i, q);
    }
    return x;
}

// ---- Every sample against a formula of the input

struct Formula {
    const char* label;
    int id;
    Answers answers;
    ToolViewState view;
    std::function<cd(const std::vector<cd>& x, int n)> expected;
    double tolerance;
};
void PrintTo(const Formula& f, std::ostream* os) { *os << f.label; }

class SampleFormulas : public testing::TestWithParam<Formula> {};

TEST_P(SampleFormulas, EverySampleMatches) {
    const Formula& f = GetParam();
    const std::vector<cd> x = TestSamples(kN);
    cWaveform w = FromSamples(x);
    ToolRunner run;
    run.ctx.view = f.view;
    ASSERT_EQ(run.Run(f.id, w, f.answers), 0) << run.LastText();
    ASSERT_EQ(w.sampleCount, kN);
    for (int n = 0; n < kN; ++n)
        ASSERT_NEAR(std::abs(At(w, n) - f.expected(x, n)), 0.0, f.tolerance) << "sample " << n;
    EXPECT_TRUE(run.undoTaken);
    EXPECT_EQ(run.LastText(), FindTool(f.id)->successText);
}

using Trace = ToolViewState::Trace;
ToolViewState View(Trace trace, int64_t first = 0, int64_t last = 0) {
    return {trace, first, last};
}
cd Scaled(cd v, bool i, bool q, double g) {
    return {v.real() * (i ? g : 1), v.imag() * (q ? g : 1)};
}
double HalfAway(double v) { return v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5); }
cd Rotated(cd v, double degrees) { return v * std::polar(1.0, degrees * kPi / 180); }
// (sign·j)^n, exactly.
cd Quarter(int sign, int n) {
    const cd powers[4] = {1, cd(0, sign), -1, cd(0, -sign)};
    return powers[n % 4];
}
cd Ramp(const std::vector<cd>& x, int n, int a, int b, bool in) {
    if (n < a || n > b) return x[n];
    const double g = double(n - a) / (b - a);
    return x[n] * (in ? g : 1 - g);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Modifiers, SampleFormulas, testing::Values(
    Formula{"Scale", kToolScale, {{"Scale", "-6"}}, {},
            [](auto& x, int n) { return x[n] * Gain(-6); }, 1e-6},
    Formula{"ScaleZoomI", kToolScaleZoom, {{"Scale2", "10"}}, View(Trace::I, 100, 200),
            [](auto& x, int n) { return Scaled(x[n], n >= 100 && n <= 200, false, Gain(10)); }, 1e-5},
    Formula{"ScaleZoomQWholeAt00", kToolScaleZoom, {{"Scale2", "-3"}}, View(Trace::Q),
            [](auto& x, int n) { return Scaled(x[n], false, true, Gain(-3)); }, 1e-6},
    Formula{"ScaleZoomIQOneSample", kToolScaleZoom, {{"Scale2", "-3"}}, View(Trace::IQ, 5, 5),
            [](auto& x, int n) { return n == 5 ? x[n] * Gain(-3) : x[n]; }, 1e-6},
    Formula{"PowerClip", kToolPowerClip, {{"level", "-3"}}, {},
            [](auto& x, int n) { return std::abs(x[n]) > Gain(-3) ? x[n] * (Gain(-3) / std::abs(x[n])) : x[n]; }, 1e-6},
    Formula{"VoltageClip", kToolVoltageClip, {}, {},
            [](auto& x, int n) { return cd(std::clamp(x[n].real(), -1.0, 1.0), std::clamp(x[n].imag(), -1.0, 1.0)); }, 0},
    Formula{"ThresholdScale", kToolThresholdScale, {{"threshold", "-2"}, {"gain", " -4.0 dB"}}, {},
            [](auto& x, int n) { return std::norm(x[n]) > Gain(-2) * Gain(-2) ? x[n] * Gain(-4) : x[n]; }, 1e-6},
    Formula{"RemoveQ", kToolRemoveQ, {}, {}, [](auto& x, int n) { return cd(x[n].real(), 0); }, 0},
    Formula{"Quantise6Bits", kToolQuantise, {{"quantiseBITS", "6"}}, {},
            [](auto& x, int n) { return cd(HalfAway(x[n].real() * 32), HalfAway(x[n].imag() * 32)) / 32.0; }, 0},
    Formula{"SwapIQ", kToolSwapIq, {}, {}, [](auto& x, int n) { return cd(x[n].imag(), x[n].real()); }, 0},
    Formula{"Conjugate", kToolConjugate, {}, {}, [](auto& x, int n) { return std::conj(x[n]); }, 0},
    Formula{"Reverse", kToolReverse, {}, {}, [](auto& x, int n) { return x[kN - 1 - n]; }, 0},
    Formula{"FadeInZoomed", kToolFadeIn, {}, View(Trace::IQ, 100, 300),
            [](auto& x, int n) { return Ramp(x, n, 100, 300, true); }, 1e-6},
    Formula{"FadeOutNotATimeView", kToolFadeOut, {}, View(Trace::None, 100, 300),
            [](auto& x, int n) { return Ramp(x, n, 0, kN - 1, false); }, 1e-6},
    Formula{"FadeInStaleZoomClamped", kToolFadeIn, {}, View(Trace::Other, 900, 5000),
            [](auto& x, int n) { return Ramp(x, n, 900, kN - 1, true); }, 1e-6},
    Formula{"PhaseShift", kToolPhaseShift, {{"PhaseShift", "30"}}, {},
            [](auto& x, int n) { return Rotated(x[n], 30); }, 1e-6},
    Formula{"PhaseShiftIOnly", kToolPhaseShiftI, {{"PhaseShift", "-100"}}, {},
            [](auto& x, int n) { return cd(Rotated(x[n], -100).real(), x[n].imag()); }, 1e-6},
    Formula{"PhaseShiftQOnly", kToolPhaseShiftQ, {{"PhaseShift", "700"}}, {},
            [](auto& x, int n) { return cd(x[n].real(), Rotated(x[n], 700).imag()); }, 1e-6},
    Formula{"FrequencyShift", kToolFreqShift, {{"Freq_Shift", "-1.7"}}, {},
            [](auto& x, int n) { return x[n] * std::polar(1.0, -2 * kPi * 1.7e6 / kFs * (n + 1)); }, 1e-6},
    Formula{"PlusQuarterToDc", kToolShiftPlusQuarter, {}, {}, [](auto& x, int n) { return x[n] * Quarter(-1, n); }, 0},
    Formula{"MinusQuarterToDc", kToolShiftMinusQuarter, {}, {}, [](auto& x, int n) { return x[n] * Quarter(1, n); }, 0},
    Formula{"TimeShiftForward", kToolTimeShift, {{"timeShiftInt", "7"}}, {},
            [](auto& x, int n) { return x[(n + 7) % kN]; }, 0},
    Formula{"TimeShiftBack", kToolTimeShift, {{"timeShiftInt", "-300"}}, {},
            [](auto& x, int n) { return x[(n - 300 + kN) % kN]; }, 0},
    Formula{"RemoveDc", kToolRemoveDc, {}, {},
            [](auto& x, int n) { return x[n] - std::accumulate(x.begin(), x.end(), cd(0)) / double(kN); }, 1e-6}),
    [](const testing::TestParamInfo<Formula>& info) { return info.param.label; });
// clang-format on

// ---- Values given as examples, and the corners between the formulas

TEST(Modifiers, ExactCornerValues) {
    ToolRunner run;
    // Clip at 0 dBFS: magnitude 0.5 stays, (3, 4) keeps its direction at magnitude 1.
    cWaveform c = MakeWaveform(2, kFs, [](int k) { return k ? cd(3, 4) : cd(0.3, -0.4); });
    ASSERT_EQ(run.Run(kToolPowerClip, c, {{"level", "0"}}), 0);
    EXPECT_EQ(At(c, 0), cd(0.3f, -0.4f));
    EXPECT_NEAR(c.I[1], 0.6, 1e-7);
    EXPECT_NEAR(c.Q[1], 0.8, 1e-7);
    // Quantising rounds halves away from zero; 0.49999997 of a step is below one half.
    const float below = 0.49999997f / 8192;
    const std::vector<float> in = {0.3f, 0.2f, below, -below, 1.5f / 8192, -1.5f / 8192};
    cWaveform q = MakeWaveform(6, kFs, [&](int k) { return cd(in[k], in[k]); });
    cWaveform q2 = MakeWaveform(2, kFs, [&](int k) { return cd(in[k], -in[k]); });
    ASSERT_EQ(run.Run(kToolQuantise, q2, {{"quantiseBITS", "2"}}), 0);
    EXPECT_EQ(At(q2, 0), cd(0.5, -0.5));
    EXPECT_EQ(At(q2, 1), cd(0, 0));
    ASSERT_EQ(run.Run(kToolQuantise, q, {}), 0);  // 14 bits: 8192 steps
    EXPECT_EQ(q.I[2], 0.0f);
    EXPECT_EQ(q.I[3], 0.0f);
    EXPECT_EQ(q.I[4], 2.0f / 8192);
    EXPECT_EQ(q.I[5], -2.0f / 8192);
    // Circular shifts by one either way.
    cWaveform r = MakeWaveform(4, kFs, [](int k) { return cd(k, -k); });
    ASSERT_EQ(run.Run(kToolTimeShift, r, {{"timeShiftInt", "1"}}), 0);
    EXPECT_EQ(r.I, (FloatArray{1, 2, 3, 0}));
    ASSERT_EQ(run.Run(kToolTimeShift, r, {{"timeShiftInt", "-2"}}), 0);
    EXPECT_EQ(r.I, (FloatArray{3, 0, 1, 2}));
    EXPECT_EQ(r.Q, (FloatArray{-3, 0, -1, -2}));
    // A fractional shift below 0.001 changes nothing.
    const FloatArray before = r.I;
    ASSERT_EQ(run.Run(kToolTimeShiftFrac, r, {{"timeShiftFrac", "0.0005"}}), 0);
    EXPECT_EQ(r.I, before);
    // One sample: Remove Q zeroes it; scaling refuses.
    cWaveform one = MakeWaveform(1, kFs, [](int) { return cd(0.5, 0.5); });
    ASSERT_EQ(run.Run(kToolRemoveQ, one), 0);
    EXPECT_EQ(At(one, 0), cd(0.5, 0));
    EXPECT_EQ(run.LastText(), "Q Zeroed");
    EXPECT_EQ(run.Run(kToolScale, one, {{"Scale", "6"}}), kErrTooShort);
    EXPECT_EQ(run.LastText(), "ERR: Waveform scaling failed");
    EXPECT_EQ(At(one, 0), cd(0.5, 0));
    // Within full scale the voltage clip says so and leaves the samples.
    cWaveform within = MakeWaveform(3, kFs, [](int k) { return cd(1.0, -0.5 * k); });
    ASSERT_EQ(run.Run(kToolVoltageClip, within), 0);
    EXPECT_EQ(run.LastText(), "Waveform does not exceed full scale.");
    EXPECT_EQ(At(within, 2), cd(1.0, -1.0));
}

TEST(Modifiers, DcTrendWritesOneMeanPerCompletedBlock) {
    ToolRunner run;
    for (auto [n, m, blocks] : {std::tuple{10, 5, 1}, {11, 5, 2}, {1000, 1, 999}, {1000, 999, 1}}) {
        cWaveform w = MakeWaveform(n, kFs, [](int k) { return cd(k * k, -k); });
        ASSERT_EQ(run.Run(kToolDcTrend, w, {{"DCTrendSamples", std::to_string(m)}}), 0);
        ASSERT_EQ(w.sampleCount, blocks) << n << "/" << m;
        EXPECT_EQ(w.sampleRate, kFs);
        for (int j = 0; j < blocks; ++j) {
            double si = 0, sq = 0;
            for (int k = j * m; k < (j + 1) * m; ++k) {
                si += double(k) * k;
                sq -= k;
            }
            EXPECT_NEAR(w.I[j], si / m, 1e-6 * std::abs(si / m));
            EXPECT_NEAR(w.Q[j], sq / m, 1e-6);
        }
    }
    EXPECT_EQ(run.LastText(), "DC Trend extracted");
}

TEST(Modifiers, LevelsFollowTheMeanPower) {
    // Half the samples at power 1, half at 0.01: all of them average 0.505; above -10 dB only
    // the loud half counts.
    cWaveform w = MakeWaveform(1000, kFs, [](int k) { return k % 2 ? cd(0.6, 0.8) : cd(0, 0.1); });
    const double loud = std::norm(cd(0.6f, 0.8f)), soft = std::norm(cd(0, 0.1f));
    EXPECT_NEAR(MeanPowerdB(w, 0.0), 10 * std::log10((loud + soft) / 2), 1e-9);
    EXPECT_NEAR(MeanPowerdB(w, -10.0), 0.0, 1e-6);
    EXPECT_EQ(MeanPowerdB(w, -1e-6), MeanPowerdB(w, 0.0));
    EXPECT_EQ(MeanPowerdB(w.I.data(), w.Q.data(), 0, 0.0), 0.0);
    cWaveform quiet = MakeWaveform(10, kFs, [](int) { return cd(1e-3, 0); });
    EXPECT_EQ(MeanPowerdB(quiet, -20.0), 1e30);  // no sample reaches -20 dB

    ToolRunner run;
    ASSERT_EQ(run.Run(kToolSetRms, w, {{"SetRMS", "-20"}}), 0);
    EXPECT_NEAR(MeanPowerdB(w, 0.0), -20.0, 1e-4);
    EXPECT_NEAR(w.Q[0] / w.Q[1], 0.1 / 0.8, 1e-6);  // one factor for every sample
    EXPECT_EQ(run.texts, (std::vector<std::string>{"Scaling waveform to desired RMS level...",
                                                   "Waveform Amplitude Set"}));
    // Silence has no level to set.
    cWaveform silent = MakeWaveform(100, kFs, [](int) { return cd(0, 0); });
    EXPECT_NE(run.Run(kToolSetRms, silent, {{"SetRMS", "-20"}}), 0);
    EXPECT_EQ(run.LastText(), "ERR: Waveform Amplitude Setting failed");
    EXPECT_FALSE(std::isnan(silent.I[0]));
}

// ---- Long waveforms

TEST(Modifiers, FrequencyShiftStaysExactFarIntoTheWaveform) {
    const int n = 10'000'000;
    cWaveform w = MakeWaveform(n, kFs, [](int) { return cd(1, 0); });
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolFreqShift, w, {{"Freq_Shift", "3.3"}}), 0);
    const double omega = 2 * kPi * 3.3e6 / kFs;
    double worst = 0;
    for (int64_t k = 0; k < n; k += 997)
        worst = std::max(worst,
                         std::abs(At(w, k) - std::polar(1.0, std::fmod((k + 1) * omega, 2 * kPi))));
    worst =
        std::max(worst, std::abs(At(w, n - 1) - std::polar(1.0, std::fmod(n * omega, 2 * kPi))));
    EXPECT_LT(worst, 1e-6);
    EXPECT_EQ(run.texts,
              (std::vector<std::string>{"Frequency shifting...", "Frequency shift applied"}));
}

TEST(Modifiers, RemoveDcOfAHundredMillionSamples) {
    // A single-precision running sum of this many samples stalls far from the true mean.
    const int n = 100'000'000;
    cWaveform w;
    w.AllocateScratch(n);
    for (int k = 0; k < n; ++k) {
        w.scratchI[k] = 0.5f + 0.25f * static_cast<float>(k % 7 - 3);
        w.scratchQ[k] = 0.5f;
    }
    w.SwapScratch();
    double meanI = 0;
    for (int k = 0; k < n; ++k)
        meanI += w.I[k];
    meanI /= n;
    ToolContext ctx;
    ASSERT_TRUE(RemoveDc(w, ctx));
    double residualI = 0, residualQ = 0;
    for (int k = 0; k < n; ++k) {
        residualI += w.I[k];
        residualQ += w.Q[k];
    }
    EXPECT_LT(std::abs(residualI / n), 1e-6);
    EXPECT_LT(std::abs(residualQ / n), 1e-6);
    EXPECT_NEAR(w.I[3], 0.5 - meanI, 1e-7);
}

// ---- Fractional time shift

TEST(Modifiers, FractionalShiftDelaysABandLimitedSignal) {
    // Tones on bins of a power-of-two length are periodic in it: shifting by s gives x(n + s)
    // exactly, for every n.
    const int n = 4096;
    auto signal = [](double t) {
        return 0.5 * std::polar(1.0, 2 * kPi * 37 * t / 4096) +
               0.25 * std::polar(1.0, -2 * kPi * 1000 * t / 4096 + 1.0) +
               0.1 * std::polar(1.0, 2 * kPi * 5 * t / 4096 - 2.0);
    };
    for (double s : {2.3, -7.6, 2.5, 0.4, -1000.02}) {
        cWaveform w = MakeWaveform(n, kFs, [&](int k) { return signal(k); });
        ToolRunner run;
        ASSERT_EQ(run.Run(kToolTimeShiftFrac, w, {{"timeShiftFrac", std::to_string(s)}}), 0);
        EXPECT_EQ(w.domainState, DomainState::TimeOnly);
        double worst = 0;
        for (int k = 0; k < n; ++k)
            worst = std::max(worst, std::abs(At(w, k) - signal(k + s)));
        EXPECT_LT(worst, 2e-5) << s;
        EXPECT_EQ(run.texts, (std::vector<std::string>{"Time Shifting...", "Time Shift applied"}));
    }
}

// ---- Second waveforms from files

TEST(Combining, AShorterFileChangesOnlyItsLength) {
    const std::vector<cd> main = TestSamples(kN);
    // A type-405 file of 300 samples; the reference takes them as the reader gives them back.
    cWaveform file = MakeWaveform(300, kFs, [](int k) {
        return cd((k * 37 + 1) % 2001 - 1000, (k * 91 + 3) % 1999 - 999) / 32768.0;
    });
    // Its name gives it a rate of its own, which must not change the shift at the main rate;
    // the same samples as cf32 are read as cf32 whatever the File Type.
    file.fileType = kFileBin16BeTwos;
    const std::string path = TempPath("other_1MSPS.bin"), floats = TempPath("other.cf32");
    ASSERT_EQ(file.SaveFile(path), 1);
    ASSERT_EQ(file.LoadFile(path, false), 0);
    const std::vector<cd> other = Samples(file);
    ASSERT_EQ(other.size(), 300u);
    file.fileType = kFileCf32Le;
    ASSERT_EQ(file.SaveFile(floats), 1);
    const std::string asBinary = ReadAsNote(path, "405 16-bit BE");
    const double omega = 2 * kPi * 2.5e6 / kFs;
    struct Case {
        int id;
        Answers answers;
        std::function<cd(cd, cd, int)> combined;
        std::string text;
    };
    const std::vector<Case> cases = {
        {kToolAddFile,
         {{"file", path}, {"scale", "6"}, {"shift", "2.5"}},
         [&](cd a, cd b, int k) { return a + b * Gain(6) * std::polar(1.0, (k + 1) * omega); },
         "External waveform combined" + asBinary},
        {kToolSubtractFile,
         {{"file", floats}},
         [](cd a, cd b, int) { return a - b; },
         "External waveform combined" + ReadAsNote(floats, "420 cf32")},
        {kToolMixFile,
         {{"file", path}},
         [](cd a, cd b, int) { return a * b; },
         "External waveform mixed" + asBinary},
        {kToolReplaceQ,
         {{"file", path}},
         [](cd a, cd b, int) { return cd(a.real(), b.real()); },
         "Q Samples overwritten from external file" + asBinary},
    };
    for (const Case& c : cases) {
        cWaveform w = FromSamples(main);
        ToolRunner run;
        run.ctx.fileType = kFileBin16BeTwos;
        ASSERT_EQ(run.Run(c.id, w, c.answers), 0) << c.id << " " << run.LastText();
        for (int k = 0; k < kN; ++k) {
            const cd expected = k < 300 ? c.combined(main[k], other[k], k) : main[k];
            ASSERT_NEAR(std::abs(At(w, k) - expected), 0.0, 1e-6) << c.id << " sample " << k;
        }
        EXPECT_EQ(run.LastText(), c.text);
    }
    std::remove(path.c_str());
    std::remove(floats.c_str());
}

TEST(Combining, MarkerFileLevelsTheMarkedArea) {
    // A type-419 file: bit 2 of a byte marks its sample as signal (marker Q = 1), bit 3 alone
    // (marker I) does not.
    const int n = 1000;
    std::string bytes(n, '\0');
    for (int k = 0; k < n; ++k)
        bytes[k] = static_cast<char>(k >= 200 && k < 400 ? 0x04 | (k % 2 ? 0x08 : 0)
                                     : k % 3             ? 0x08
                                                         : 0);
    const std::string path = TempPath("marker.bin");
    std::ofstream(path, std::ios::binary).write(bytes.data(), n);
    const std::vector<cd> x = TestSamples(n);
    double area = 0;
    for (int k = 200; k < 400; ++k)
        area += std::norm(x[k]);
    const double g = Gain(-25 - 10 * std::log10(area / 200));

    cWaveform w = FromSamples(x);
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolMarkerLevel, w, {{"file", path}, {"SSMARKER_LEVEL", "-25"}}), 0);
    EXPECT_EQ(run.input.asked, (std::vector<std::string>{"file", "SSMARKER_LEVEL"}));
    for (int k = 0; k < n; ++k)
        ASSERT_NEAR(std::abs(At(w, k) - x[k] * g), 0.0, 1e-6) << k;
    EXPECT_TRUE(run.texts.empty());  // the tool ends without a text
    EXPECT_TRUE(run.undoTaken);
    // The one modifier qrvn edit's tests do not run from a step.
    ToolStep step;
    ASSERT_EQ(ParseToolStep("level-by-marker:file=" + path + ",SSMARKER_LEVEL=-25", step), "");
    cStepInput input(step);
    ToolContext ctx;
    ctx.input = &input;
    cWaveform stepped = FromSamples(x);
    ASSERT_EQ(RunTool(*step.tool, ctx, stepped, {}), 0);
    EXPECT_EQ(Samples(stepped), Samples(w));
    std::remove(path.c_str());
}

// ---- Refusals: nothing changes, no undo copy

// Names in the answers that start with '@' are files ToolRefusals writes.
Answers Resolve(Answers a) {
    for (auto& [key, value] : a)
        if (!value.empty() && value[0] == '@') value = TempPath(value.substr(1));
    return a;
}

TEST_P(ToolRefusals, LeaveWaveformAndUndoAlone) {
    const ToolRefusal& c = GetParam();
    cWaveform w = MakeWaveform(c.samples < 0 ? 1000 : c.samples, c.rateHz,
                               [&](int k) { return c.silent ? cd(0, 0) : cd(0.001 * k, -0.2); });
    w.filterShape = 3;
    const FloatArray i = w.I, q = w.Q;
    ToolRunner run;
    run.ctx.view = c.view;
    const int code = run.Run(c.id, w, Resolve(c.answers));
    if (c.code != 0) {
        EXPECT_EQ(code, c.code);
    } else {
        EXPECT_NE(code, 0);
    }
    EXPECT_EQ(run.input.asked, c.asked);
    EXPECT_EQ(run.texts, c.texts);
    EXPECT_EQ(w.I, i);
    EXPECT_EQ(w.Q, q);
    EXPECT_EQ(w.sampleRate, c.rateHz);
    EXPECT_EQ(w.filterShape, 3);
    EXPECT_FALSE(run.undoTaken);
}

const std::string kInvalidFile = "ERR: Waveform Combining fail invalid waveform to combine";
const std::string kCombining = "Combining waveform with another...";
const std::string kCancelled = "ERR: Waveform Combining cancelled";
const std::string kBadShift = "ERR: Time Shift failed, invalid shift requested";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Modifiers, ToolRefusals, testing::Values(
    ToolRefusal{"ScaleCancelled", kToolScale, {{"Scale", "cancel"}}, {"Scale"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"ScaleFactorOverflows", kToolScale, {{"Scale", "800"}}, {"Scale"}, {"Invalid scaling factor"}},
    ToolRefusal{"ScaleZoomInSpectrum", kToolScaleZoom, {}, {}, {"Select a time view to scale the zoomed span"},
            0, View(Trace::None, 10, 20)},
    ToolRefusal{"ScaleZoomStaleSpan", kToolScaleZoom, {}, {}, {"ERR: The zoomed span lies outside the waveform"},
            0, View(Trace::IQ, 10, 1000)},
    ToolRefusal{"ScaleZoomCancelled", kToolScaleZoom, {{"Scale2", "cancel"}}, {"Scale2"}, {kCancelledText}, kErrCancelled, View(Trace::I, 10, 20)},
    ToolRefusal{"ScaleZoomOverflows", kToolScaleZoom, {{"Scale2", "1000"}}, {"Scale2"}, {"Invalid scaling factor"},
            0, View(Trace::I, 10, 20)},
    ToolRefusal{"SetRmsAboveZero", kToolSetRms, {{"SetRMS", "1"}}, {"SetRMS"}, {"ERR: Invalid Scaling level requested"}},
    ToolRefusal{"SetRmsOneSample", kToolSetRms, {{"SetRMS", "-10"}}, {"SetRMS"},
            {"Scaling waveform to desired RMS level...", "ERR: Waveform Amplitude Setting failed"}, 0, {}, 1},
    ToolRefusal{"ClipAbove3dB", kToolPowerClip, {{"level", "3.5"}}, {"level"}, {"ERR: Invalid clipping level requested"}},
    ToolRefusal{"ThresholdCancelled", kToolThresholdScale, {{"threshold", "cancel"}}, {"threshold"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"ThresholdGainCancelled", kToolThresholdScale, {{"gain", "cancel"}}, {"threshold", "gain"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"ThresholdGainOverflows", kToolThresholdScale, {{"gain", "1e3"}}, {"threshold", "gain"},
            {"Invalid scaling factor"}},
    ToolRefusal{"QuantiseOneBit", kToolQuantise, {{"quantiseBITS", "1"}}, {"quantiseBITS"}, {}},
    ToolRefusal{"FadeOfOneSample", kToolFadeIn, {}, {}, {"ERR: Fade needs a span of two or more samples"},
            0, View(Trace::I, 2000, 3000)},
    ToolRefusal{"PhaseBeyond720", kToolPhaseShiftQ, {{"PhaseShift", "-721"}}, {"PhaseShift"},
            {"ERR: Invalid Phase shift required"}},
    ToolRefusal{"FrequencyCancelled", kToolFreqShift, {{"Freq_Shift", "cancel"}}, {"Freq_Shift"},
            {kCancelledText}, kErrCancelled},
    ToolRefusal{"FrequencyShiftEmpty", kToolFreqShift, {{"Freq_Shift", "1"}}, {"Freq_Shift"},
            {"Frequency shifting...", "ERR: Frequency shift failed"}, 0, {}, 0},
    ToolRefusal{"RemoveDcEmpty", kToolRemoveDc, {}, {}, {"Removing DC Offset...", "ERR: DC offset removal Failed"}, 0, {}, 0},
    ToolRefusal{"DcTrendAsLongAsTheWaveform", kToolDcTrend, {{"DCTrendSamples", "1000"}}, {"DCTrendSamples"}, {}},
    ToolRefusal{"TimeShiftTooFar", kToolTimeShift, {{"timeShiftInt", "-1000"}}, {"timeShiftInt"}, {kBadShift}},
    ToolRefusal{"FractionalShiftCancelled", kToolTimeShiftFrac, {{"timeShiftFrac", "cancel"}}, {"timeShiftFrac"},
            {kCancelledText}, kErrCancelled},
    ToolRefusal{"AddFileCancelled", kToolAddFile, {{"file", "cancel"}}, {"file"}, {kCombining, kCancelledText}, kErrCancelled},
    ToolRefusal{"AddMissingFile", kToolAddFile, {{"file", "@missing.bin"}}, {"file"}, {kCombining, kInvalidFile}},
    ToolRefusal{"SubtractEmptyFile", kToolSubtractFile, {{"file", "@empty.bin"}}, {"file"}, {kCombining, kInvalidFile}},
    ToolRefusal{"AddScaleBeyond300", kToolAddFile, {{"file", "@second.bin"}, {"scale", "301"}}, {"file", "scale"},
            {kCombining, kCancelled}},
    ToolRefusal{"AddShiftCancelled", kToolAddFile, {{"file", "@second.bin"}, {"shift", "cancel"}},
            {"file", "scale", "shift"}, {kCombining, kCancelledText}, kErrCancelled},
    ToolRefusal{"MixCancelled", kToolMixFile, {{"file", "cancel"}}, {"file"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"MixEmptyFile", kToolMixFile, {{"file", "@empty.bin"}}, {"file"}, {kInvalidFile}},
    ToolRefusal{"ReplaceQMissingFile", kToolReplaceQ, {{"file", "@missing.bin"}}, {"file"}, {kInvalidFile}},
    ToolRefusal{"MarkerFileCancelled", kToolMarkerLevel, {{"file", "cancel"}}, {"file"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"MarkerFileEmpty", kToolMarkerLevel, {{"file", "@empty.bin"}}, {"file"},
            {"ERR: Marker file could not be read: empty file"}},
    ToolRefusal{"MarkerLengthDiffers", kToolMarkerLevel, {{"file", "@short_marks.bin"}}, {"file"},
            {"ERR: Marker samples length does not match"}},
    ToolRefusal{"MarkerLevelCancelled", kToolMarkerLevel, {{"file", "@marks.bin"}, {"SSMARKER_LEVEL", "cancel"}},
            {"file", "SSMARKER_LEVEL"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"MarkerLevelZero", kToolMarkerLevel, {{"file", "@marks.bin"}, {"SSMARKER_LEVEL", "0"}},
            {"file", "SSMARKER_LEVEL"}, {"ERR: Invalid Level selected"}},
    ToolRefusal{"MarksNothing", kToolMarkerLevel, {{"file", "@nomarks.bin"}}, {"file", "SSMARKER_LEVEL"},
            {"ERR: Marker file marks no sample"}},
    ToolRefusal{"SilentArea", kToolMarkerLevel, {{"file", "@marks.bin"}}, {"file", "SSMARKER_LEVEL"},
            {"ERR: Marked signal area is silent"}, 0, {}, -1, true}),
    RefusalName);
// clang-format on

TEST(Modifiers, AStopRequestLeavesTheWaveformAsItWas) {
    cWaveform w = MakeWaveform(5'000'000, kFs, [](int k) { return cd(k % 3, 1); });
    ToolRunner run;
    run.stop = true;
    for (int id : {kToolFreqShift, kToolRemoveDc, kToolScale, kToolTimeShiftFrac}) {
        EXPECT_EQ(run.Run(id, w, {{"timeShiftFrac", "3.5"}}), kErrStopped) << id;
        EXPECT_EQ(At(w, 4), cd(1, 1));
        EXPECT_FALSE(run.undoTaken);
    }
}

}  // namespace
