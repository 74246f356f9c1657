// CFR on a multi-carrier 64QAM signal against the ACLR, one pass and peak windowing against
// computations in double, the PA curve, stops that keep the passes done, and refusals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "measure/measurements.h"
#include "reference_fft.h"
#include "spectrum/trace_recompute.h"
#include "tools/nonlinear_ops.h"

namespace {

constexpr double kPi = std::numbers::pi;

// Noise as float samples hold it.
std::vector<cd> Noise(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0, 0.1);
    return Samples(MakeWaveform(n, 1, [&](int) { return cd(g(rng), g(rng)); }));
}
double ParDb(const std::vector<cd>& x) {
    double peak = 0;
    for (const cd& v : x)
        peak = std::max(peak, std::norm(v));
    return 10 * std::log10(peak / MeanPower(x));
}
std::string Text(const char* format, double v) {
    char text[80];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// Eight 64QAM carriers of 1.92 Msymbol/s, 2.5 MHz apart, raised-cosine shaped (roll-off 0.22),
// at 61.44 MHz and -20 dBFS: a 20 MHz block with a PAR near 10 dB. Shifted by whole bins, so
// it is periodic in its length as the generators' signals are.
cWaveform MultiCarrierQam(int n) {
    const double df = 61.44e6 / n, f1 = 0.78 * 0.96e6, f2 = 1.22 * 0.96e6;
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> level(0, 7);
    std::vector<cd> block(static_cast<size_t>(n));
    for (int carrier = 0; carrier < 8; ++carrier) {
        // A symbol every 32 samples: the spectrum of the symbols, repeated 32 times.
        std::vector<cd> symbols(static_cast<size_t>(n / 32));
        for (cd& v : symbols)
            v = cd(2 * level(rng) - 7, 2 * level(rng) - 7);
        const std::vector<cd> bins = ReferenceFft(symbols, -1);
        const auto shift = static_cast<int>(std::lround((-8.75e6 + 2.5e6 * carrier) / df));
        for (int b = 0; b < n; ++b) {
            const double f = std::fabs((b < n / 2 ? b : b - n) * df);
            const double g = f <= f1   ? 1
                             : f >= f2 ? 0
                                       : (1 + std::cos(kPi * (f - f1) / (f2 - f1))) / 2;
            block[size_t((b + shift + n) % n)] += g * bins[size_t(b % (n / 32))];
        }
    }
    std::vector<cd> x = ReferenceFft(block, +1);
    const double scale = 0.1 / std::sqrt(MeanPower(x));
    for (cd& v : x)
        v *= scale;
    return FromSamples(x, 61'440'000);
}

// The adjacent channels below and above, relative to the carrier (dB).
std::pair<double, double> Aclr(const cWaveform& w) {
    cSpectrumTrace t = AveragedTrace(w, 8192);
    cMeasurements m;
    m.SelectAclrBandwidth(kCmdAclr20);
    m.Measure(t, 0.0);
    const auto& a = m.results.aclrDb;
    return a.size() == 3 ? std::pair<double, double>(a[1] - a[0], a[2] - a[0])
                         : std::pair<double, double>(0, 0);
}

TEST(Cfr, ReachesTheTargetWithoutSpoilingTheAclr) {
    cWaveform w = MultiCarrierQam(1 << 17);
    const double parBefore = ParDb(Samples(w));
    ASSERT_GT(parBefore, 9.5);
    const auto [lowerBefore, upperBefore] = Aclr(w);
    ASSERT_LT(lowerBefore, -100);
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolCfr, w, {{"CFRPAR", "8"}}), 0);
    EXPECT_EQ(run.LastText(), "CFR Complete");
    EXPECT_LE(ParDb(Samples(w)), 8.1);
    const auto [lower, upper] = Aclr(w);
    EXPECT_LT(lower - lowerBefore, 1.0) << lowerBefore << " -> " << lower;
    EXPECT_LT(upper - upperBefore, 1.0) << upperBefore << " -> " << upper;
    // A text per pass with the PAR it started from, as the results say; then the PAR reached.
    const auto& r = run.ctx.results;
    ASSERT_EQ(run.texts.size(), r.size());  // the first text and the last besides the passes
    EXPECT_EQ(run.texts[1], Text("Crest Factor Reducing... Pass 1, PAR %.2f", parBefore));
    EXPECT_EQ(r[0].first, "par_pass_1_db");
    EXPECT_NEAR(r[0].second, parBefore, 1e-4);
    EXPECT_EQ(r[r.size() - 2].first, "passes");
    EXPECT_EQ(r[r.size() - 2].second, double(r.size() - 2));
    EXPECT_NEAR(r.back().second, ParDb(Samples(w)), 1e-4);
}

// One pass with offset 3 dB written out in double: the clipping noise at mean + 3 dB, kept only
// under bins 30 dB stronger, subtracted. 1000 samples: zero-padded to 1024 and back.
TEST(Cfr, OnePassMatchesAComputationInDouble) {
    const int n = 1000, nf = 1024;
    const std::vector<cd> x = Noise(n, 5);
    const double limit = std::sqrt(MeanPower(x) * std::pow(10, 0.3));
    std::vector<cd> s(nf), e(nf);
    for (int k = 0; k < n; ++k) {
        s[size_t(k)] = x[size_t(k)];
        e[size_t(k)] = x[size_t(k)] * std::max(0.0, 1 - limit / std::abs(x[size_t(k)]));
    }
    const std::vector<cd> S = ReferenceFft(s, -1);
    std::vector<cd> E = ReferenceFft(e, -1);
    for (int b = 0; b < nf; ++b)
        if (std::norm(S[size_t(b)]) < 1000 * std::norm(E[size_t(b)])) E[size_t(b)] = 0;
    E = ReferenceFft(E, +1);
    cWaveform w = FromSamples(x, 30'720'000);
    ASSERT_EQ(CfrPass(w, 3.0, ToolContext{}), 0);
    for (int k = 0; k < n; ++k)
        ASSERT_NEAR(std::abs(cd(w.I[k], w.Q[k]) - (x[size_t(k)] - E[size_t(k)] / double(nf))), 0,
                    2e-6);
}

TEST(Cfr, NoPassWithinTheTargetAndTheParReachedWhenThePassesRunOut) {
    cWaveform w = FromSamples(Noise(2000, 6), 30'720'000);
    const std::vector<cd> before = Samples(w);
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolCfr, w, {{"CFRPAR", "20"}}), 0);
    EXPECT_EQ(run.texts, (std::vector<std::string>{"Crest Factor Reducing...", "CFR Complete"}));
    EXPECT_EQ(Samples(w), before);
    ASSERT_EQ(run.Run(kToolCfr, w, {{"CFRPAR", "0.1"}}), 0);
    ASSERT_EQ(run.texts.size(), 22u);
    EXPECT_EQ(run.LastText(), Text("CFR Complete, PAR %.2f dB", ParDb(Samples(w))));
}

TEST(Cfr, AStopKeepsThePassesDoneAndTheUndoCopy) {
    const std::vector<cd> before = Noise(4096, 7);
    cWaveform w = FromSamples(before, 30'720'000);
    ToolRunner run;
    run.ctx.status = [&](const std::string& t) {
        run.texts.push_back(t);
        if (t.find("Pass 2,") != std::string::npos) run.stop = true;
    };
    EXPECT_EQ(run.Run(kToolCfr, w, {{"CFRPAR", "3"}}), kErrStopped);
    EXPECT_EQ(run.LastText(), "Stopped: the changes made so far are kept");
    ASSERT_TRUE(run.undoTaken);
    EXPECT_EQ(Samples(run.undo), before);
    // Two passes, the second with the offset lowered while the PAR was over 1 dB off.
    cWaveform twice = FromSamples(before, 30'720'000);
    ASSERT_EQ(CfrPass(twice, 3.0, ToolContext{}), 0);
    ASSERT_EQ(CfrPass(twice, PowerStats(twice).ParDb() > 4 ? 3 * 0.985 : 3.0, ToolContext{}), 0);
    EXPECT_EQ(Samples(w), Samples(twice));
    EXPECT_NE(Samples(w), before);
    // Stopped before the first pass: nothing changed, no undo copy.
    ToolRunner early;
    early.stop = true;
    EXPECT_EQ(early.Run(kToolCfr, twice, {{"CFRPAR", "3"}}), kErrStopped);
    EXPECT_EQ(early.LastText(), "Stopped: the waveform is as it was");
    EXPECT_EQ(Samples(twice), Samples(w));
    EXPECT_FALSE(early.undoTaken);
}

// ---- Peak windowing against the algorithm run literally over dense arrays in double

TEST(PeakWindowing, SamplesAndEvmMatchADirectComputation) {
    const int n = 3000;
    const std::vector<cd> x = Noise(n, 8);
    const double mean = MeanPower(x), threshold = std::pow(10, 0.5) * mean;  // 5 dB
    for (int W : {10, 75, 300}) {
        const int H = W / 2;
        std::vector<double> c(n), d(n, 0.0), w(static_cast<size_t>(W));
        for (int k = 0; k < W; ++k)
            w[size_t(k)] = 0.5 * (1 - std::cos(2 * kPi * k / (W - 1)));
        for (int k = 0; k < n; ++k)
            c[size_t(k)] = std::max(0.0, 1 - threshold / std::norm(x[size_t(k)]));
        for (int i = 0; i < n; ++i) {
            double f = 0;
            for (int k = 0; k < W && k <= i; ++k) {
                d[size_t(i)] += w[size_t(k)] * c[size_t(i - k)];
                if (k < H) f += w[size_t(H - 1 - k)] * c[size_t(i - k)];
            }
            if (i < n - 1) c[size_t(i + 1)] = std::max(0.0, c[size_t(i + 1)] - f);
        }
        std::copy(d.begin() + H, d.end(), c.begin());
        double err = 0;
        cWaveform wave = FromSamples(x, 30'720'000);
        ToolRunner run;
        std::vector<std::string> notices;
        run.ctx.notice = [&](const std::string& title, const std::string& text) {
            notices.push_back(title + ": " + text);
        };
        ASSERT_EQ(
            run.Run(kToolPeakWindowCfr, wave, {{"par", "5"}, {"CFRWindowLen", std::to_string(W)}}),
            0);
        for (int k = 0; k < n; ++k) {
            const cd y = x[size_t(k)] * (1 - c[size_t(k)]);
            err += std::norm(y - x[size_t(k)]) / n;
            ASSERT_NEAR(std::abs(cd(wave.I[k], wave.Q[k]) - y), 0, 2e-7) << W << " " << k;
        }
        const double evm = std::sqrt(err / mean) * 100;
        ASSERT_GT(evm, 0.1);
        EXPECT_NEAR(run.ctx.results.at(0).second, evm, 1e-5 * evm) << W;
        EXPECT_EQ(notices, std::vector<std::string>{Text("Error: EVM degraded by %.2f%%", evm)});
        EXPECT_EQ(run.LastText(), "Peak Windowing CFR applied");
    }
}

// At a target of 0 dB nearly every sample is a peak, and the windows over them add up past 1:
// samples are reduced, down to zero, but never turned over.
TEST(PeakWindowing, CrowdedPeaksNeverTurnASampleOver) {
    const std::vector<cd> x = Noise(4096, 7);
    cWaveform wave = FromSamples(x, 30'720'000);
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolPeakWindowCfr, wave, {{"par", "0"}, {"CFRWindowLen", "300"}}), 0);
    int reduced = 0;
    for (int k = 0; k < 4096; ++k) {
        const cd y(wave.I[k], wave.Q[k]);
        ASSERT_GE((y * std::conj(x[size_t(k)])).real(), 0.0) << k;
        ASSERT_LE(std::abs(y), std::abs(x[size_t(k)]) * (1 + 1e-6)) << k;
        reduced += std::abs(y) < 0.99 * std::abs(x[size_t(k)]);
    }
    EXPECT_GT(reduced, 1000);
}

// ---- PA model and expansion

TEST(PaModel, CurveAtItsKnotsAndBeyondThem) {
    cPaCurve curve;
    for (const auto& [x, y] :
         {std::pair{0.0000316, 1.0}, {0.01, 1.01}, {0.158, 0.851}, {1.0, 0.501}, {1.26, 0.398}})
        EXPECT_NEAR(curve.Gain(x), y, 1e-6) << x;
    EXPECT_EQ(curve.Gain(0), 1.0);
    // Beyond the table the output amplitude g·√u holds the last knot's.
    const double held = 0.398 * std::sqrt(1.26);
    for (double u = 1e-6; u <= 1e4; u *= 1.01) {
        const double g = curve.Gain(u);
        ASSERT_TRUE(g > 0 && g < 1.02 && g * std::sqrt(u) < 0.57) << u;  // 0.56 near u = 0.6
        if (u > 1.2601) {
            ASSERT_NEAR(g * std::sqrt(u), held, 1e-6) << u;
        }
    }
    // A full-scale sample at three back-offs: u = 1 at -0.2 dB; -6 and -20 dB drive past the
    // table (where the end cubic gave gains of -4.78 and -214,637). A small sample keeps 1.
    for (const auto& [backOff, gain] : {std::pair{-0.2, 0.501},
                                        {-6.0, held / std::sqrt(std::pow(10, 0.58))},
                                        {-20.0, held / std::sqrt(std::pow(10, 1.98))}}) {
        cWaveform w =
            MakeWaveform(2, 1'000'000, [](int k) { return k ? cd(0.6, -0.8) : cd(1e-4, 0); });
        ToolRunner run;
        ASSERT_EQ(run.Run(kToolPaModel, w, {{"PAsimBackOffdB", std::to_string(backOff)}}), 0);
        EXPECT_NEAR(w.I[1], 0.6 * gain, 1e-6) << backOff;
        EXPECT_NEAR(w.Q[1], -0.8 * gain, 1e-6) << backOff;
        EXPECT_EQ(w.I[0], 1e-4f);
        EXPECT_EQ(run.texts, (std::vector<std::string>{"Simulating PA compression...",
                                                       "Simulated PA compression applied"}));
    }
    cWaveform w = MakeWaveform(2, 1'000'000, [](int k) { return k ? cd(-0.1, 2) : cd(0.5, -0.5); });
    ToolRunner run;
    ASSERT_EQ(run.Run(kToolExpansion, w), 0);
    EXPECT_EQ(Samples(w), (std::vector<cd>{cd(0.25, -0.25), cd(-0.1f * 0.1f, 4)}));
    EXPECT_EQ(run.LastText(), "Expansion complete");
}

// ---- Refusals: nothing changes, no undo copy

const std::string kCfrText = "Crest Factor Reducing...";
const std::vector<std::string> kWindowAsked = {"par", "CFRWindowLen"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(NonLinear, ToolRefusals, testing::Values(
    ToolRefusal{"CfrParTooSmall", kToolCfr, {{"CFRPAR", "0.05"}}, {"CFRPAR"}, {kCfrText, "ERR: Invalid PAR selected"}, kErrCfr},
    ToolRefusal{"CfrCancelled", kToolCfr, {{"CFRPAR", "cancel"}}, {"CFRPAR"}, {kCfrText, kCancelledText}, kErrCancelled},
    ToolRefusal{"CfrOfSilence", kToolCfr, {}, {"CFRPAR"}, {kCfrText, "ERR: CFR failed"}, kErrLevel, {}, -1, true},
    ToolRefusal{"WindowingCancelled", kToolPeakWindowCfr, {{"par", "cancel"}}, {"par"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"WindowingBelowTheMean", kToolPeakWindowCfr, {{"par", "-1"}}, {"par"}, {"ERR: Invalid PAR selected"}, kErrCfr},
    ToolRefusal{"WindowOf9", kToolPeakWindowCfr, {{"CFRWindowLen", "9"}}, kWindowAsked, {}, kErrLengthOrCount},
    ToolRefusal{"WindowOf301", kToolPeakWindowCfr, {{"CFRWindowLen", "301"}}, kWindowAsked, {}, kErrLengthOrCount},
    ToolRefusal{"WindowingOfSilence", kToolPeakWindowCfr, {}, {}, {"ERR: Waveform is silent, no peaks to reduce"}, kErrLevel,
                {}, -1, true},
    ToolRefusal{"BackOffBeyond300", kToolPaModel, {{"PAsimBackOffdB", "-300.5"}}, {"PAsimBackOffdB"},
                {"Simulating PA compression...", "ERR: Invalid Back off requested"}, kErrScale}),
    RefusalName);
// clang-format on

}  // namespace
