// The FFT filters against gain masks from the frequency of every bin, the channel filters, and
// refusals that leave waveform, filter shape and undo copy alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "reference_fft.h"
#include "spectrum/trace_recompute.h"
#include "tools/filter_ops.h"
#include "tools/nonlinear_ops.h"

namespace {

constexpr double kPi = std::numbers::pi;

// n samples (a power of two) whose bins all have magnitude 1, so every bin's gain shows.
cWaveform FlatSpectrum(int n, int64_t fs) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> phase(-kPi, kPi);
    std::vector<cd> bins(static_cast<size_t>(n));
    for (cd& b : bins)
        b = std::polar(1.0 / n, phase(rng));
    return FromSamples(ReferenceFft(bins, +1), fs);
}

double Shape(int shape, double t) {
    const double rc = (1 + std::cos(kPi * t)) / 2;
    return shape == 1 ? std::exp(-4 * kPi * t * t) : shape == 2 ? rc : std::sqrt(rc);
}

// Runs tool id with the shape selected; every bin's gain must be gain(bin): 0 means -120 dBc.
void ExpectGains(int id, cWaveform w, int shape, const Answers& answers,
                 const std::function<double(int bin)>& gain) {
    w.filterShape = shape;
    const std::vector<cd> before = ReferenceFft(Samples(w), -1);
    ToolRunner run;
    ASSERT_EQ(run.Run(id, w, answers), 0) << run.LastText();
    EXPECT_EQ(run.LastText(), FindTool(id)->successText);
    const std::vector<cd> after = ReferenceFft(Samples(w), -1);
    for (size_t b = 0; b < after.size(); ++b) {
        const cd g = after[b] / before[b];
        const double want = gain(static_cast<int>(b));
        ASSERT_LE(want == 0 ? std::norm(g) / 1e-12 : std::abs(g - want) / 1e-5, 1.0)
            << "bin " << b << " wants " << want;
    }
}

// ---- Every bin of every filter and shape against a mask from the bin frequencies

constexpr int kMaskN = 4096;  // at 4.096 MHz: 1 kHz bins, edges on bins
constexpr double kDf = 1000, kPass = 0.5e6, kSpan = 0.25e6, kLo = -0.75e6, kHi = 0.5e6;
// A walk downwards from an edge starts on the odd position after it: half a bin wider.
constexpr double kSpanDown = kSpan + kDf / 2;

using Gain = std::function<double(double f, const std::function<double(double)>& shape)>;
struct MaskCase {
    const char* label;
    int id;
    Answers answers;
    Gain gain;
};
void PrintTo(const MaskCase& c, std::ostream* os) { *os << c.label; }

// Low- and high-pass shape the positive half; bin −f−df takes the gain of bin f.
double Mirrored(double f, const std::function<double(double)>& half) {
    return f >= 0 ? half(f) : half(-f - kDf);
}

// clang-format off
const MaskCase kMaskCases[] = {
    {"LowPass", kToolLowPass, {{"FFT_LPF1", "0.5"}, {"FFT_LPF2", "0.25"}}, [](double f, auto& shape) {
         return Mirrored(f, [&](double x) { return x < kPass ? 1 : x < kPass + kSpan ? shape((x - kPass) / kSpan) : 0; });
     }},
    {"HighPass", kToolHighPass, {{"FFT_HPF1", "0.5"}, {"FFT_HPF2", "0.25"}}, [](double f, auto& shape) {
         return Mirrored(f, [&](double x) { return x >= kPass ? 1 : x >= kPass - kSpan ? shape((kPass - x) / kSpanDown) : 0; });
     }},
    // Edges in either order.
    {"BandPass", kToolBandPass, {{"FFTBP1", "0.5"}, {"FFTBP2", "-0.75"}, {"FFTBP3", "0.25"}}, [](double f, auto& shape) {
         if (f > kHi) return f < kHi + kSpan ? shape((f - kHi) / kSpan) : 0;
         return f >= kLo ? 1 : f >= kLo - kSpan ? shape((kLo - f) / kSpanDown) : 0;
     }},
    // The span taken as a magnitude.
    {"BandStop", kToolBandStop, {{"FFTBS1", "-0.75"}, {"FFTBS2", "0.5"}, {"FFTBS3", "-0.25"}}, [](double f, auto& shape) {
         if (f < kLo - kSpan || f > kHi + kSpan) return 1.0;
         return f < kLo ? shape((f - kLo + kSpan) / kSpan) : f <= kHi ? 0 : shape((kHi + kSpan - f) / kSpan);
     }},
};
// clang-format on

class FilterMasks : public testing::TestWithParam<std::tuple<MaskCase, int>> {};

TEST_P(FilterMasks, EveryBinFollowsTheMask) {
    const auto& [c, shape] = GetParam();
    const auto shapeFn = [shape = shape](double t) { return Shape(shape, t); };
    ExpectGains(c.id, FlatSpectrum(kMaskN, 4'096'000), shape, c.answers,
                [&](int b) { return c.gain((b < kMaskN / 2 ? b : b - kMaskN) * kDf, shapeFn); });
}

std::string MaskName(const testing::TestParamInfo<std::tuple<MaskCase, int>>& info) {
    static const char* const kShapes[] = {"", "Gaussian", "RaisedCosine", "RootRaisedCosine"};
    return std::string(std::get<0>(info.param).label) + kShapes[std::get<1>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(Filters, FilterMasks,
                         testing::Combine(testing::ValuesIn(kMaskCases), testing::Values(1, 2, 3)),
                         MaskName);

// ---- Eight bins 125 kHz apart (Gaussian): the corners of the position rules

TEST(Filters, CornersOfThePositionRules) {
    const double g = Shape(1, 2 / 4.25);
    const struct {
        int id;
        Answers answers;
        std::vector<double> gains;  // by bin, FFT order
    } corners[] = {
        // Without a width the pass edge is one bin wide.
        {kToolLowPass, {{"FFT_LPF1", "0.25"}, {"FFT_LPF2", "0"}}, {1, 1, 1, 0, 0, 1, 1, 1}},
        // Position 2.25 rounds to 2; the stop edge at 6.25 gives a width of 4.25.
        {kToolLowPass, {{"FFT_LPF1", "0.140625"}, {"FFT_LPF2", "0.25"}}, {1, 1, g, 0, 0, g, 1, 1}},
        {kToolLowPass, {{"FFT_LPF1", "0.5"}, {"FFT_LPF2", "0"}}, {1, 1, 1, 1, 1, 1, 1, 1}},
        // A pass edge on odd position 3 (or 5 below a band) with no width was 0/0 everywhere.
        {kToolHighPass, {{"FFT_HPF1", "0.1875"}, {"FFT_HPF2", "0"}}, {0, 1, 1, 1, 1, 1, 1, 0}},
        {kToolBandPass,
         {{"FFTBP1", "-0.1875"}, {"FFTBP2", "0.125"}, {"FFTBP3", "0"}},
         {1, 1, 0, 0, 0, 0, 1, 1}},
    };
    for (const auto& c : corners)
        ExpectGains(c.id, FlatSpectrum(8, 1'000'000), 1, c.answers,
                    [&](int b) { return c.gains[static_cast<size_t>(b)]; });
}

// The 8-bit capture types hold up to 250,000,000 samples, more than any transform (2^27):
// refused, where the transforms would quietly leave the samples as they are.
TEST(Filters, NoSpectrumFormBeyondTheLongestTransform) {
    cWaveform w;  // the count alone: the checks come before any sample is read
    w.sampleCount = (1 << 27) + 1;
    EXPECT_EQ(FftFilter(w, FftFilterPlan{}), kErrTooLong);
    EXPECT_EQ(CfrPass(w, 8, ToolContext{}), kErrTooLong);
    ToolRunner run;
    EXPECT_EQ(run.Run(kToolUmtsFilter, w), kErrTooLong);
    EXPECT_EQ(run.texts, std::vector<std::string>{"ERR: Waveform too long for the FFT filters"});
    w.sampleCount = 0;
    EXPECT_TRUE(HasSpectrumForm(1 << 27));
}

// A filter runs both transforms itself: the same bits as filtering the waveform's own spectrum
// form and converting back, progress forward only, and a stop in either transform leaves the
// samples as they were.
TEST(Filters, TransformAsideWithProgressAndStop) {
    const FftFilterPlan plan{FftFilterKind::BandPass, 0.1, 0.2, 0.02, FilterShape::RaisedCosine};
    const std::vector<cd> x = UniformNoise(1 << 20);
    cWaveform reference = FromSamples(x, 1'000'000);
    reference.EnsureSpectrum(true);
    ASSERT_EQ(ApplyFftFilterMask(reference.spectrum.data(), reference.SpectrumSize(), plan), 0);
    reference.EnsureTimeDomain(false);
    for (const int stopAt : {20, 51, 101}) {  // in the forward, the inverse, none
        SCOPED_TRACE(stopAt);
        cWaveform w = FromSamples(x, 1'000'000);
        std::atomic<bool> stop{false};
        std::vector<int> seen;
        ToolContext ctx;
        ctx.stop = &stop;
        ctx.progress = [&](int percent) {
            seen.push_back(percent);
            if (percent >= stopAt) stop = true;
        };
        const int code = FftFilter(w, plan, ctx);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_GE(seen.back(), std::min(stopAt, 51));
        if (stopAt > 100) {
            EXPECT_EQ(code, kToolOk);
            EXPECT_EQ(Samples(w), Samples(reference));
        } else {
            EXPECT_EQ(code, kErrStopped);
            EXPECT_EQ(Samples(w), Samples(FromSamples(x, 1'000'000)));
        }
    }
}

// ---- Channel filters

// Noise flat within ±9 MHz plus, at leakDb, within 1 MHz of leakHz.
cWaveform BandNoise(int n, int64_t fs, double leakHz, double leakDb) {
    std::mt19937 rng(3);
    std::normal_distribution<double> g(0, 1e-3);
    std::vector<cd> bins(static_cast<size_t>(n));
    for (int b = 0; b < n; ++b) {
        const double f = (b < n / 2 ? b : b - n) * double(fs) / n;
        bins[size_t(b)] =
            cd(g(rng), g(rng)) * (std::fabs(f) < 9e6            ? 1
                                  : std::fabs(f - leakHz) < 1e6 ? std::pow(10, leakDb / 20)
                                                                : 0);
    }
    return FromSamples(ReferenceFft(bins, +1), fs);
}

TEST(ChannelFilters, Lte20KeepsTheCarrierAndClearsTheStopBand) {
    const int64_t fs = 30'720'000;
    const double inBand = MeanPower(Samples(BandNoise(1 << 16, fs, 0, -300)));
    cWaveform w = BandNoise(1 << 16, fs, 12.5e6, -20);  // and an interferer beyond 10 MHz
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolLteFilter, w, {{"LTE_FILTER_BW", "20"}, {"LTE_FILTER_CENTER", "0"}}), 0);
    EXPECT_EQ(run.texts, std::vector<std::string>{"LTE Channel Filter complete"});
    EXPECT_NEAR(10 * std::log10(MeanPower(Samples(w)) / inBand), 0.0, 0.05);

    const cSpectrumTrace t = AveragedTrace(w, 16384);
    double carrier = 0, worstStop = 0;
    int points = 0;
    for (int k = 0; k < t.pointCount; ++k) {
        const double f = std::fabs(t.PointFrequency(k)), p = t.power[size_t(k)];
        if (f < 8e6) carrier += p, ++points;
        if (f > 10.5e6) worstStop = std::max(worstStop, p);
    }
    EXPECT_LT(10 * std::log10(worstStop / (carrier / points)), -100.0);
}

// A channel filter is the FFT filter of its carrier in its own shape, whatever the selected
// one, which stays.
TEST(ChannelFilters, AreTheFftFilterOfTheirCarrier) {
    const struct {
        int id;
        Answers channel;
        int filter;
        Answers edges;
        int shape;
    } cases[] = {
        {kToolLteFilter,
         {{"LTE_FILTER_BW", "5"}},
         kToolLowPass,
         {{"FFT_LPF1", "2.27"}, {"FFT_LPF2", "0.23"}},
         2},
        {kToolUmtsFilter,
         {{"LTE_FILTER_CENTER", "5"}},
         kToolBandPass,
         {{"FFTBP1", "3.5024"}, {"FFTBP2", "6.4976"}, {"FFTBP3", "0.8448"}},
         3},
    };
    for (const auto& c : cases) {
        cWaveform a = FlatSpectrum(4096, 30'720'000), b = FlatSpectrum(4096, 30'720'000);
        b.filterShape = c.shape;
        ToolRunner run;
        ASSERT_EQ(run.Run(c.id, a, c.channel), 0);
        ASSERT_EQ(run.Run(c.filter, b, c.edges), 0);
        EXPECT_EQ(a.filterShape, 1);
        for (int k = 0; k < 4096; ++k)
            ASSERT_NEAR(std::abs(cd(a.I[k] - b.I[k], a.Q[k] - b.Q[k])), 0, 1e-6) << c.id;
    }
}

// ---- Refusals: nothing changes, the shape stays, no undo copy

// At 30.72 MHz; a refusal without a code is the edge check's.
std::vector<ToolRefusal> FilterCases(std::vector<ToolRefusal> cases) {
    for (ToolRefusal& c : cases) {
        c.rateHz = 30'720'000;
        if (c.code == 0) c.code = kErrFilterEdge;
    }
    return cases;
}

const std::vector<std::string> kLpfAsked = {"FFT_LPF1", "FFT_LPF2"},
                               kBpAsked = {"FFTBP1", "FFTBP2", "FFTBP3"},
                               kLteAsked = {"LTE_FILTER_BW", "LTE_FILTER_CENTER"};
const std::string kBadPosition = "ERR: Invalid Filter position specified";
const std::string kBeyondHalf = "ERR: Filter edges must lie within +/-15.36 MHz",
                  kBeyondRate = "ERR: Filter edges must lie within +/-30.72 MHz";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Filters, ToolRefusals, testing::ValuesIn(FilterCases({
    ToolRefusal{"LowPassCancelled", kToolLowPass, {{"FFT_LPF1", "cancel"}}, {"FFT_LPF1"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"LowPassStopEdgeBeyondHalfTheRate", kToolLowPass, {{"FFT_LPF1", "15"}, {"FFT_LPF2", "0.5"}}, kLpfAsked,
                {kBeyondHalf}},
    ToolRefusal{"HighPassStopEdgeBeyond", kToolHighPass, {{"FFT_HPF1", "-15"}, {"FFT_HPF2", "1"}}, {"FFT_HPF1", "FFT_HPF2"},
                {kBeyondHalf}},
    ToolRefusal{"BandPassSecondEdgeBeyondTheRate", kToolBandPass, {{"FFTBP1", "1"}, {"FFTBP2", "-31"}}, {"FFTBP1", "FFTBP2"},
                {kBeyondRate}},
    ToolRefusal{"BandPassCancelled", kToolBandPass, {{"FFTBP2", "cancel"}}, {"FFTBP1", "FFTBP2"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"BandStopSpanBeyondTheRate", kToolBandStop, {{"FFTBS3", "40"}}, {"FFTBS1", "FFTBS2", "FFTBS3"}, {kBeyondRate}},
    // Within the checks, but an edge falls outside the spectrum: for the band filters the side
    // that fits is not applied either.
    ToolRefusal{"LowPassNegativeEdge", kToolLowPass, {{"FFT_LPF1", "-1"}}, kLpfAsked,
                {"FFT Low Pass Filtering...", "ERR: FFT Low Pass Filtering failed"}},
    ToolRefusal{"BandPassLowerEdgeBelowTheSpectrum", kToolBandPass, {{"FFTBP1", "-20"}, {"FFTBP2", "1"}}, kBpAsked,
                {"FFT Band Pass Filtering...", "ERR: FFT Band Pass Filtering failed"}},
    ToolRefusal{"BandStopUpperEdgeAboveTheSpectrum", kToolBandStop, {{"FFTBS1", "1"}, {"FFTBS2", "15"}, {"FFTBS3", "0.5"}},
                {"FFTBS1", "FFTBS2", "FFTBS3"}, {"FFT Band Stop Filtering...", "ERR: FFT Band Stop Filtering failed"}},
    ToolRefusal{"LteBandwidth7", kToolLteFilter, {{"LTE_FILTER_BW", "7"}}, {"LTE_FILTER_BW"},
                {"ERR: Invalid LTE Bandwidth specified"}, kErrLteBandwidth},
    ToolRefusal{"LteCentreBeyondHalfTheRate", kToolLteFilter, {{"LTE_FILTER_CENTER", "15.4"}}, kLteAsked, {kBadPosition}},
    // The centre lies inside, the carrier's lower side does not.
    ToolRefusal{"Lte20AtMinus10MHz", kToolLteFilter, {{"LTE_FILTER_BW", "20"}, {"LTE_FILTER_CENTER", "-10"}}, kLteAsked,
                {kBadPosition}},
    ToolRefusal{"UmtsAtTheEdge", kToolUmtsFilter, {{"LTE_FILTER_CENTER", "14.5"}}, {"LTE_FILTER_CENTER"}, {kBadPosition}}})),
    RefusalName);
// clang-format on

}  // namespace
