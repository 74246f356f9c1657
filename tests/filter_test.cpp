// The FFT filters against gain masks written here from the frequency of every bin, positions
// at the corners (zero spans on odd positions, edges off the bin grid), the channel filters on
// band-limited noise through the spectrum measurement, and the refusals that must leave
// waveform, filter shape and undo copy alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "dsp/trace_recompute.h"
#include "reference_fft.h"
#include "tool_test_support.h"
#include "tools/filter_ops.h"

namespace {

using cd = std::complex<double>;
using Answers = std::map<std::string, std::string>;
constexpr double kPi = std::numbers::pi;

std::vector<cd> Spectrum(const cWaveform& w) {
    std::vector<cd> x(static_cast<size_t>(w.sampleCount));
    for (int k = 0; k < w.sampleCount; ++k)
        x[static_cast<size_t>(k)] = cd(w.I[k], w.Q[k]);
    return ReferenceFft(x, -1);
}

// n samples (a power of two) whose bins all have magnitude 1 and random phases, so every
// bin's gain can be read off.
cWaveform FlatSpectrum(int n, int64_t fs) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> phase(-kPi, kPi);
    std::vector<cd> bins(static_cast<size_t>(n));
    for (cd& b : bins)
        b = std::polar(1.0, phase(rng));
    const std::vector<cd> x = ReferenceFft(bins, +1);
    return MakeWaveform(n, fs, [&](int k) { return x[static_cast<size_t>(k)] / double(n); });
}

double Shape(int shape, double t) {
    const double rc = (1 + std::cos(kPi * t)) / 2;
    return shape == 1 ? std::exp(-4 * kPi * t * t) : shape == 2 ? rc : std::sqrt(rc);
}

// Runs tool id on w (shape selected) and compares every bin's gain with gain(bin).
void ExpectGains(int id, cWaveform w, int shape, const Answers& answers,
                 const std::function<double(int bin)>& gain) {
    w.filterShape = shape;
    const std::vector<cd> before = Spectrum(w);
    ToolRunner run;
    ASSERT_EQ(run.Run(id, w, answers), 0) << run.LastText();
    EXPECT_EQ(run.LastText(), FindTool(id)->successText);
    EXPECT_EQ(w.domainState, DomainState::TimeOnly);
    const std::vector<cd> after = Spectrum(w);
    for (size_t b = 0; b < after.size(); ++b) {
        const cd g = after[b] / before[b];
        const double want = gain(static_cast<int>(b));
        if (want == 0)
            ASSERT_LE(std::norm(g), 1e-12) << "stop band, bin " << b;  // -120 dBc
        else
            ASSERT_LE(std::abs(g - want), 1e-5) << "bin " << b << " wants " << want;
    }
}

// ---- Every bin of every filter and shape against a mask from the bin frequencies

constexpr int64_t kMaskFs = 4'096'000;
constexpr int kMaskN = 4096;  // 1 kHz bins, edges on bins
constexpr double kDf = 1000;

struct MaskCase {
    const char* label;
    int id;
    Answers answers;
    // Gain at frequency f (Hz) given the shape's t -> g.
    std::function<double(double f, const std::function<double(double)>& shape)> gain;
};
void PrintTo(const MaskCase& c, std::ostream* os) { *os << c.label; }

// Low- and high-pass treat the positive half; bin −f−df takes the gain of bin f.
double Mirrored(double f, const std::function<double(double)>& half) {
    return f >= 0 ? half(f) : half(-f - kDf);
}

constexpr double kPass = 0.5e6, kSpan = 0.25e6, kLo = -0.75e6, kHi = 0.5e6;
// A walk downwards from an edge starts on the odd position after it: its transition is half a
// bin wider.
constexpr double kSpanDown = kSpan + kDf / 2;

const MaskCase kMaskCases[] = {
    {"LowPass",
     kToolLowPass,
     {{"FFT_LPF1", "0.5"}, {"FFT_LPF2", "0.25"}},
     [](double f, auto& shape) {
         return Mirrored(f, [&](double x) {
             return x < kPass ? 1 : x < kPass + kSpan ? shape((x - kPass) / kSpan) : 0;
         });
     }},
    {"HighPass",
     kToolHighPass,
     {{"FFT_HPF1", "0.5"}, {"FFT_HPF2", "0.25"}},
     [](double f, auto& shape) {
         return Mirrored(f, [&](double x) {
             return x >= kPass ? 1 : x >= kPass - kSpan ? shape((kPass - x) / kSpanDown) : 0;
         });
     }},
    {"BandPass",
     kToolBandPass,
     {{"FFTBP1", "0.5"}, {"FFTBP2", "-0.75"}, {"FFTBP3", "0.25"}},  // edges in either order
     [](double f, auto& shape) -> double {
         if (f > kHi) return f < kHi + kSpan ? shape((f - kHi) / kSpan) : 0;
         if (f < kLo) return f >= kLo - kSpan ? shape((kLo - f) / kSpanDown) : 0;
         return 1;
     }},
    {"BandStop",
     kToolBandStop,
     {{"FFTBS1", "-0.75"}, {"FFTBS2", "0.5"}, {"FFTBS3", "-0.25"}},  // the span as a magnitude
     [](double f, auto& shape) -> double {
         if (f < kLo - kSpan || f > kHi + kSpan) return 1;
         if (f < kLo) return shape((f - kLo + kSpan) / kSpan);
         if (f <= kHi) return 0;
         return shape((kHi + kSpan - f) / kSpan);
     }},
};

class FilterMasks : public testing::TestWithParam<std::tuple<MaskCase, int>> {};

TEST_P(FilterMasks, EveryBinFollowsTheMask) {
    const auto& [c, shape] = GetParam();
    const auto shapeFn = [shape = shape](double t) { return Shape(shape, t); };
    ExpectGains(c.id, FlatSpectrum(kMaskN, kMaskFs), shape, c.answers,
                [&](int b) { return c.gain((b < kMaskN / 2 ? b : b - kMaskN) * kDf, shapeFn); });
}

std::string MaskName(const testing::TestParamInfo<std::tuple<MaskCase, int>>& info) {
    static const char* const kShapes[] = {"", "Gaussian", "RaisedCosine", "RootRaisedCosine"};
    return std::string(std::get<0>(info.param).label) + kShapes[std::get<1>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(Filters, FilterMasks,
                         testing::Combine(testing::ValuesIn(kMaskCases), testing::Values(1, 2, 3)),
                         MaskName);

// ---- Eight bins (Fs 1 MHz, 125 kHz apart): the corners of the position rules

struct Corner {
    const char* label;
    int id;
    Answers answers;
    std::vector<double> gains;  // by bin, FFT order
};
void PrintTo(const Corner& c, std::ostream* os) { *os << c.label; }

class FilterCorners : public testing::TestWithParam<Corner> {};

TEST_P(FilterCorners, GainsByBin) {
    const Corner& c = GetParam();
    ExpectGains(c.id, FlatSpectrum(8, 1'000'000), 1, c.answers,
                [&](int b) { return c.gains[static_cast<size_t>(b)]; });
}

const double g1 = Shape(1, 2 / 4.25);

INSTANTIATE_TEST_SUITE_P(
    Filters, FilterCorners,
    testing::Values(
        // Without a width the pass edge is one bin wide.
        Corner{"LowPassZeroSpan",
               kToolLowPass,
               {{"FFT_LPF1", "0.25"}, {"FFT_LPF2", "0"}},
               {1, 1, 1, 0, 0, 1, 1, 1}},
        // Position 2.25 rounds to 2; the stop edge at 6.25 gives a width of 4.25.
        Corner{"LowPassOffTheGrid",
               kToolLowPass,
               {{"FFT_LPF1", "0.140625"}, {"FFT_LPF2", "0.25"}},
               {1, 1, g1, 0, 0, g1, 1, 1}},
        Corner{"LowPassAtHalfTheRate",
               kToolLowPass,
               {{"FFT_LPF1", "0.5"}, {"FFT_LPF2", "0"}},
               {1, 1, 1, 1, 1, 1, 1, 1}},
        // The pass edge on odd position 3 with no width: 0/0 before, now one bin.
        Corner{"HighPassZeroSpanOnAnOddPosition",
               kToolHighPass,
               {{"FFT_HPF1", "0.1875"}, {"FFT_HPF2", "0"}},
               {0, 1, 1, 1, 1, 1, 1, 0}},
        // The same below a band: the lower edge on odd position 5.
        Corner{"BandPassZeroSpanOnAnOddPosition",
               kToolBandPass,
               {{"FFTBP1", "-0.1875"}, {"FFTBP2", "0.125"}, {"FFTBP3", "0"}},
               {1, 1, 0, 0, 0, 0, 1, 1}}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- Channel filters

cWaveform BandNoise(int n, int64_t fs, double halfWidthHz, double outOfBandHz, double leakDb) {
    std::mt19937 rng(3);
    std::normal_distribution<double> g(0, 1);
    std::vector<cd> bins(static_cast<size_t>(n));
    for (int b = 0; b < n; ++b) {
        const double f = (b < n / 2 ? b : b - n) * double(fs) / n;
        const double gain = std::fabs(f) < halfWidthHz         ? 1
                            : std::fabs(f - outOfBandHz) < 1e6 ? std::pow(10, leakDb / 20)
                                                               : 0;
        bins[static_cast<size_t>(b)] = gain * cd(g(rng), g(rng));
    }
    const std::vector<cd> x = ReferenceFft(bins, +1);
    return MakeWaveform(n, fs, [&](int k) { return x[static_cast<size_t>(k)] * 1e-3; });
}

double TotalPower(const cWaveform& w) {
    double sum = 0;
    for (int k = 0; k < w.sampleCount; ++k)
        sum += std::norm(cd(w.I[k], w.Q[k]));
    return sum;
}

TEST(ChannelFilters, Lte20KeepsTheCarrierAndClearsTheStopBand) {
    const int64_t fs = 30'720'000;
    const int n = 1 << 16;
    const double inBand = TotalPower(BandNoise(n, fs, 9e6, 0, -300));
    cWaveform w = BandNoise(n, fs, 9e6, 12.5e6, -20);  // and an interferer beyond 10 MHz
    w.filterShape = 1;
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolLteFilter, w, {{"LTE_FILTER_BW", "20"}, {"LTE_FILTER_CENTER", "0"}}), 0);
    EXPECT_EQ(run.texts, std::vector<std::string>{"LTE Channel Filter complete"});
    EXPECT_EQ(w.filterShape, 1);
    EXPECT_NEAR(10 * std::log10(TotalPower(w) / inBand), 0.0, 0.05);

    cSpectrumTrace t;
    cSpectrumRecompute rc;
    SpectrumSettings settings;
    settings.fftSize = 16384;
    std::atomic<bool> stop{false};
    rc.Recompute(t, w, settings, stop, {}, 0);
    double carrier = 0, worstStop = 0;
    int carrierPoints = 0;
    for (int k = 0; k < t.pointCount; ++k) {
        const double f = std::fabs(t.PointFrequency(k));
        if (f < 8e6) {
            carrier += t.power[static_cast<size_t>(k)];
            ++carrierPoints;
        } else if (f > 10.5e6) {
            worstStop = std::max<double>(worstStop, t.power[static_cast<size_t>(k)]);
        }
    }
    EXPECT_LT(10 * std::log10(worstStop / (carrier / carrierPoints)), -100.0);
}

// A channel filter is the FFT filter of its carrier with its own shape, whatever the selected
// one; the selected shape stays.
TEST(ChannelFilters, AreTheFftFilterOfTheirCarrier) {
    struct Case {
        int id;
        Answers channel;
        int filter;
        Answers edges;
        int shape;
    };
    const Case cases[] = {
        {kToolLteFilter,
         {{"LTE_FILTER_BW", "5"}, {"LTE_FILTER_CENTER", "0"}},
         kToolLowPass,
         {{"FFT_LPF1", "2.27"}, {"FFT_LPF2", "0.23"}},
         2},
        {kToolLteFilter,
         {{"LTE_FILTER_BW", "1"}, {"LTE_FILTER_CENTER", "-3"}},
         kToolBandPass,
         {{"FFTBP1", "-3.55"}, {"FFTBP2", "-2.45"}, {"FFTBP3", "0.15"}},
         2},
        {kToolUmtsFilter,
         {{"LTE_FILTER_CENTER", "5"}},
         kToolBandPass,
         {{"FFTBP1", "3.5024"}, {"FFTBP2", "6.4976"}, {"FFTBP3", "0.8448"}},
         3},
    };
    for (const Case& c : cases) {
        cWaveform a = FlatSpectrum(4096, 30'720'000);
        cWaveform b = FlatSpectrum(4096, 30'720'000);
        a.filterShape = 1;
        b.filterShape = c.shape;
        ToolRunner run;
        ASSERT_EQ(run.Run(c.id, a, c.channel), 0);
        ASSERT_EQ(run.Run(c.filter, b, c.edges), 0);
        EXPECT_EQ(a.filterShape, 1);
        for (int k = 0; k < 4096; ++k)
            ASSERT_NEAR(std::abs(cd(a.I[k] - b.I[k], a.Q[k] - b.Q[k])), 0, 1e-6)
                << c.id << " " << k;
    }
}

// ---- Refusals: nothing changes, the shape stays, no undo copy

struct Refusal {
    const char* label;
    int id;
    Answers answers;
    std::vector<std::string> asked;
    std::vector<std::string> texts;
    int code = kErrFilterEdge;
};
void PrintTo(const Refusal& r, std::ostream* os) { *os << r.label; }

class FilterRefusals : public testing::TestWithParam<Refusal> {};

TEST_P(FilterRefusals, LeaveWaveformShapeAndUndoAlone) {
    const Refusal& c = GetParam();
    cWaveform w = MakeWaveform(1000, 30'720'000, [](int k) { return cd(0.001 * k, -0.2); });
    w.filterShape = 3;
    const FloatArray before = w.I;
    ToolRunner run;
    EXPECT_EQ(run.Run(c.id, w, c.answers), c.code);
    EXPECT_EQ(run.input.asked, c.asked);
    EXPECT_EQ(run.texts, c.texts);
    EXPECT_EQ(w.I, before);
    EXPECT_EQ(w.filterShape, 3);
    EXPECT_FALSE(run.undoTaken);
}

const std::vector<std::string> kLpfAsked = {"FFT_LPF1", "FFT_LPF2"};
const std::string kBadPosition = "ERR: Invalid Filter position specified";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Filters, FilterRefusals, testing::Values(
    Refusal{"LowPassEdgeBeyondHalfTheRate", kToolLowPass, {{"FFT_LPF1", "15.37"}}, {"FFT_LPF1"}, {}},
    Refusal{"LowPassCancelled", kToolLowPass, {{"FFT_LPF1", "cancel"}}, {"FFT_LPF1"}, {}},
    Refusal{"LowPassStopEdgeBeyond", kToolLowPass, {{"FFT_LPF1", "15"}, {"FFT_LPF2", "0.5"}}, kLpfAsked, {}},
    Refusal{"HighPassStopEdgeBeyond", kToolHighPass, {{"FFT_HPF1", "-15"}, {"FFT_HPF2", "1"}},
            {"FFT_HPF1", "FFT_HPF2"}, {}},
    Refusal{"BandPassSecondEdgeBeyondTheRate", kToolBandPass, {{"FFTBP1", "1"}, {"FFTBP2", "-31"}},
            {"FFTBP1", "FFTBP2"}, {}},
    Refusal{"BandStopSpanBeyondTheRate", kToolBandStop, {{"FFTBS3", "40"}}, {"FFTBS1", "FFTBS2", "FFTBS3"}, {}},
    // Within the checks, but the edge falls below the spectrum.
    Refusal{"LowPassNegativeEdge", kToolLowPass, {{"FFT_LPF1", "-1"}}, kLpfAsked,
            {"FFT Low Pass Filtering...", "ERR: FFT Low Pass Filtering failed"}},
    // The upper side fits; the lower one does not: neither is applied.
    Refusal{"BandPassLowerEdgeBelowTheSpectrum", kToolBandPass,
            {{"FFTBP1", "-20"}, {"FFTBP2", "1"}, {"FFTBP3", "0.5"}}, {"FFTBP1", "FFTBP2", "FFTBP3"},
            {"FFT Band Pass Filtering...", "ERR: FFT Band Pass Filtering failed"}},
    Refusal{"BandStopUpperEdgeAboveTheSpectrum", kToolBandStop,
            {{"FFTBS1", "1"}, {"FFTBS2", "15"}, {"FFTBS3", "0.5"}}, {"FFTBS1", "FFTBS2", "FFTBS3"},
            {"FFT Band Stop Filtering...", "ERR: FFT Band Stop Filtering failed"}},
    Refusal{"LteBandwidth7", kToolLteFilter, {{"LTE_FILTER_BW", "7"}}, {"LTE_FILTER_BW"},
            {"ERR: Invalid LTE Bandwidth specified"}, kErrLteBandwidth},
    Refusal{"LteBandwidthCancelled", kToolLteFilter, {{"LTE_FILTER_BW", "cancel"}}, {"LTE_FILTER_BW"},
            {"ERR: Invalid LTE Bandwidth specified"}, kErrLteBandwidth},
    Refusal{"LteCentreBeyondHalfTheRate", kToolLteFilter, {{"LTE_FILTER_CENTER", "15.4"}},
            {"LTE_FILTER_BW", "LTE_FILTER_CENTER"}, {kBadPosition}},
    // The centre is inside, the carrier's lower side is not.
    Refusal{"Lte20AtMinus10MHz", kToolLteFilter, {{"LTE_FILTER_BW", "20"}, {"LTE_FILTER_CENTER", "-10"}},
            {"LTE_FILTER_BW", "LTE_FILTER_CENTER"}, {kBadPosition}},
    Refusal{"UmtsCancelled", kToolUmtsFilter, {{"LTE_FILTER_CENTER", "cancel"}}, {"LTE_FILTER_CENTER"},
            {kBadPosition}},
    Refusal{"UmtsAtTheEdge", kToolUmtsFilter, {{"LTE_FILTER_CENTER", "14.5"}}, {"LTE_FILTER_CENTER"},
            {kBadPosition}}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.label; });
// clang-format on

}  // namespace
