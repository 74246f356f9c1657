// Modulation accuracy against closed forms: shaped symbols made here (the textbook pulse summed
// directly at each sample), white noise of known SNR after the matched filter, and impairments
// of known size; the reference mode against a band-limited delay made with a reference DFT.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "measure/modulation.h"
#include "reference_fft.h"

namespace {

constexpr double kPi = std::numbers::pi;

// Root raised cosine at t symbols, the textbook closed form (β = 0.22 never hits its poles at
// the instants used here).
double Rrc(double t, double beta) {
    if (std::abs(t) < 1e-12) return 1 - beta + 4 * beta / kPi;
    const double x = 4 * beta * t;
    return (std::sin(kPi * t * (1 - beta)) + x * std::cos(kPi * t * (1 + beta))) /
           (kPi * t * (1 - x * x));
}

struct Impairments {
    double timingSymbols = 0.0;    // a symbol this far after sample 0
    double frequencyCycles = 0.0;  // per sample
    double gainImbalanceDb = 0.0;  // I over Q
    double quadratureDeg = 0.0;    // Q axis beyond 90°
    std::complex<double> origin = 0.0;
};

struct Capture {
    std::vector<float> I, Q;
    std::vector<std::complex<double>> symbols;
};

// K random symbols of m at sps samples each, RRC-shaped (unit energy per symbol), impaired,
// with complex white noise of power 10^(−snr/10) (the SNR after the matched filter).
Capture Make(Modulation m, int K, double sps, double beta, double snrDb, const Impairments& imp,
             unsigned seed = 1) {
    const auto points = ConstellationPoints(m);
    std::mt19937 g(seed);
    std::uniform_int_distribution<size_t> pick(0, points.size() - 1);
    std::normal_distribution<double> noise(0.0, std::sqrt(0.5 * std::pow(10.0, -snrDb / 10)));
    Capture c;
    for (int k = 0; k < K + 80; ++k)  // 40 symbols before and after the capture's
        c.symbols.push_back(points[pick(g)]);
    const int span = 24;
    double energy = 0;
    for (int j = -span * 8; j <= span * 8; ++j)
        energy += std::pow(Rrc(j / 8.0, beta), 2) / 8.0;  // ∫p², t in symbols
    const double norm = 1.0 / std::sqrt(energy * sps);    // Σₙ p² = 1 at sps samples a symbol
    const int n = static_cast<int>(K * sps);
    const double gI = std::pow(10.0, imp.gainImbalanceDb / 40),
                 gQ = std::pow(10.0, -imp.gainImbalanceDb / 40);
    const std::complex<double> qAxis = std::polar(gQ, (90 + imp.quadratureDeg) * kPi / 180);
    for (int i = 0; i < n; ++i) {
        const double t = i / sps + 40 - imp.timingSymbols;  // in symbols from the first
        std::complex<double> s = 0;
        const int k0 = std::max(0, static_cast<int>(std::ceil(t - span)));
        const int k1 = std::min(K + 79, static_cast<int>(std::floor(t + span)));
        for (int k = k0; k <= k1; ++k)
            s += c.symbols[static_cast<size_t>(k)] * Rrc(t - k, beta) * norm;
        s = gI * s.real() + qAxis * s.imag() + imp.origin;
        s *= std::polar(1.0, 2 * kPi * imp.frequencyCycles * i);
        s += std::complex<double>(noise(g), noise(g));
        c.I.push_back(static_cast<float>(s.real()));
        c.Q.push_back(static_cast<float>(s.imag()));
    }
    return c;
}

struct SnrCase {
    Modulation modulation;
    double snrDb;
    double sps = 4;  // samples a symbol
};

class ModulationAtSnr : public testing::TestWithParam<SnrCase> {};

// The EVM of shaped symbols in white noise is the noise over the constellation's power after
// the matched filter, at every SNR where the symbols can be decided.
TEST_P(ModulationAtSnr, EvmReadsTheNoise) {
    const SnrCase p = GetParam();
    const Capture c = Make(p.modulation, 20000, p.sps, 0.22, p.snrDb, {0.3});
    ModulationResult r;
    const ModulationSettings s{p.modulation, 1e6, PulseShape::RootRaisedCosine, 0.22, false};
    ASSERT_EQ(AnalyseModulation(c.I.data(), c.Q.data(), static_cast<int64_t>(c.I.size()),
                                p.sps * 1e6, s, r, {}),
              "");
    EXPECT_NEAR(r.evmRmsDb, -p.snrDb, 0.2);
    EXPECT_NEAR(r.evmRmsPercent, 100 * std::pow(10.0, -p.snrDb / 20), 0.025 * r.evmRmsPercent);
    EXPECT_NEAR(r.merDb, p.snrDb, 0.25);
    EXPECT_GT(r.symbols, 19900);
    EXPECT_NEAR(r.timingOffsetSymbols, 0.3, 0.01);
    EXPECT_NEAR(r.frequencyErrorHz, 0.0, 20.0);
}

INSTANTIATE_TEST_SUITE_P(
    Modulations, ModulationAtSnr,
    testing::Values(SnrCase{Modulation::Qpsk, 15}, SnrCase{Modulation::Qpsk, 40},
                    SnrCase{Modulation::Bpsk, 15}, SnrCase{Modulation::Psk8, 25},
                    SnrCase{Modulation::Qam16, 22}, SnrCase{Modulation::Qam64, 30},
                    SnrCase{Modulation::Qam64, 40}, SnrCase{Modulation::Qam256, 32},
                    SnrCase{Modulation::Qam256, 40},
                    // Instants on ten fractions of a sample, and on no repeating ones.
                    SnrCase{Modulation::Qam16, 30, 3.3},
                    SnrCase{Modulation::Qam16, 30, 2.718281828}));

TEST(Modulation, ImpairmentsAreReportedAndTakenOutOfTheEvm) {
    Impairments imp;
    imp.timingSymbols = 0.3;
    imp.frequencyCycles = 0.01 / 4;  // 1 % of the symbol rate
    imp.gainImbalanceDb = 0.5;
    imp.quadratureDeg = 2;
    // −30 dB after the matched filter, whose gain at 0 Hz is √4 against the symbols' 1.
    imp.origin = std::polar(std::pow(10.0, -30.0 / 20) / 2, 0.7);
    const Capture c = Make(Modulation::Qam16, 20000, 4, 0.22, 32, imp);
    ModulationResult r;
    const ModulationSettings s{Modulation::Qam16, 1e6, PulseShape::RootRaisedCosine, 0.22, false};
    ASSERT_EQ(
        AnalyseModulation(c.I.data(), c.Q.data(), static_cast<int64_t>(c.I.size()), 4e6, s, r, {}),
        "");
    EXPECT_NEAR(r.frequencyErrorHz, 10000, 500);
    EXPECT_NEAR(r.timingOffsetSymbols, 0.3, 0.015);
    EXPECT_NEAR(r.gainImbalanceDb, 0.5, 0.025);
    EXPECT_NEAR(r.quadratureErrorDeg, 2, 0.1);
    EXPECT_NEAR(r.originOffsetDb, -30, 1.5);
    EXPECT_NEAR(r.evmRmsDb, -32, 0.3);
    // The per-symbol figures the views draw agree with the totals.
    double sum = 0;
    for (float e : r.evmPercent)
        sum += e * e;
    EXPECT_NEAR(std::sqrt(sum / r.evmPercent.size()), r.evmRmsPercent, 1e-3);
    EXPECT_FLOAT_EQ(r.evmPercent[static_cast<size_t>(r.evmPeakSymbol)], r.evmPeakPercent);
    EXPECT_EQ(r.ideal.size(), r.measured.size());
}

// An echo of −14 dB one symbol late: without the equaliser it is the error; with it, the noise.
TEST(Modulation, EqualiserTakesOutAnEcho) {
    Capture c = Make(Modulation::Qpsk, 10000, 4, 0.22, 35, {});
    for (size_t k = c.I.size(); k-- > 4;) {
        c.I[k] += 0.2f * c.I[k - 4];
        c.Q[k] += 0.2f * c.Q[k - 4];
    }
    ModulationSettings s{Modulation::Qpsk, 1e6, PulseShape::RootRaisedCosine, 0.22, false};
    ModulationResult plain, equalised;
    const int64_t n = static_cast<int64_t>(c.I.size());
    ASSERT_EQ(AnalyseModulation(c.I.data(), c.Q.data(), n, 4e6, s, plain, {}), "");
    s.equalise = true;
    ASSERT_EQ(AnalyseModulation(c.I.data(), c.Q.data(), n, 4e6, s, equalised, {}), "");
    EXPECT_GT(plain.evmRmsDb, -20);
    EXPECT_NEAR(equalised.evmRmsDb, -35, 0.5);
}

TEST(Modulation, BadSettingsAndNoSignalReportNothing) {
    const Capture c = Make(Modulation::Qpsk, 2000, 4, 0.22, 30, {});
    const int64_t n = static_cast<int64_t>(c.I.size());
    ModulationSettings s{Modulation::Qpsk, 1e6, PulseShape::RootRaisedCosine, 0.22, false};
    const auto run = [&](const float* I, const float* Q, int64_t count, double rate,
                         const ModulationSettings& settings) {
        ModulationResult r;
        r.symbols = -7;  // untouched on failure
        const std::string why = AnalyseModulation(I, Q, count, rate, settings, r, {});
        EXPECT_EQ(r.symbols, -7) << why;
        return why;
    };
    s.symbolRateHz = 5e6;
    EXPECT_NE(run(c.I.data(), c.Q.data(), n, 4e6, s).find("at most the sample rate"),
              std::string::npos);
    s.symbolRateHz = 3e3;
    EXPECT_NE(run(c.I.data(), c.Q.data(), n, 4e6, s).find("1/1000"), std::string::npos);
    s.symbolRateHz = 1e6;
    EXPECT_NE(run(c.I.data(), c.Q.data(), 4 * 90, 4e6, s).find("at least 100"), std::string::npos);
    std::mt19937 g(3);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    std::vector<float> nI(c.I.size()), nQ(c.I.size());
    for (size_t k = 0; k < nI.size(); ++k) {
        nI[k] = noise(g);
        nQ[k] = noise(g);
    }
    for (Modulation m : {Modulation::Qpsk, Modulation::Qam64}) {
        s.modulation = m;
        EXPECT_NE(run(nI.data(), nQ.data(), n, 4e6, s), "");
    }
    s.modulation = Modulation::Qpsk;
    std::vector<float> holed = c.I;
    holed[4000] = NAN;
    EXPECT_NE(run(holed.data(), c.Q.data(), n, 4e6, s).find("not finite"), std::string::npos);
    // 16QAM at 14 dB: decisions would go wrong often enough to read the EVM low.
    const Capture noisy = Make(Modulation::Qam16, 2000, 4, 0.22, 14, {});
    s.modulation = Modulation::Qam16;
    EXPECT_NE(run(noisy.I.data(), noisy.Q.data(), n, 4e6, s).find("cannot be decided reliably"),
              std::string::npos);
}

// A waveform against itself delayed by 5.3 samples (a band-limited delay, made with a DFT),
// turned 30°, shifted 1 kHz and 3 dB weaker: nothing is left but rounding; with noise added,
// the EVM reads the noise.
TEST(ReferenceEvm, AlignedCopyLeavesOnlyWhatWasAdded) {
    const Capture ref = Make(Modulation::Qam64, 16384, 4, 0.22, 200, {});
    const size_t P = 65536;
    std::vector<cd> x(P);
    for (size_t k = 0; k < P; ++k)
        x[k] = {ref.I[k], ref.Q[k]};
    x = ReferenceFft(x, -1);
    for (size_t k = 0; k < P; ++k) {
        const double f = (k < P / 2 ? double(k) : double(k) - double(P)) / double(P);
        x[k] *= std::polar(1.0 / double(P), -2 * kPi * f * 5.3);
    }
    x = ReferenceFft(x, +1);
    const double fs = 1e6;
    for (double snr : {300.0, 30.0}) {
        std::mt19937 g(5);
        std::normal_distribution<double> noise(0.0, std::sqrt(0.5 * std::pow(10.0, -snr / 10)));
        double power = 0;
        for (size_t k = 0; k < P; ++k)
            power += std::norm(x[k]) / double(P);
        std::vector<float> I(P), Q(P);
        for (size_t k = 0; k < P; ++k) {
            const cd v =
                x[k] * std::polar(std::pow(10.0, -3.0 / 20), kPi / 6 + 2 * kPi * 1e3 * k / fs) +
                cd(noise(g), noise(g)) * std::sqrt(power * 0.5);
            I[k] = static_cast<float>(v.real());
            Q[k] = static_cast<float>(v.imag());
        }
        ReferenceEvmResult r;
        ASSERT_EQ(MeasureEvmAgainstReference(I.data(), Q.data(), P, ref.I.data(), ref.Q.data(), P,
                                             fs, r, {}),
                  "");
        EXPECT_NEAR(r.delaySamples, 5.3, 1e-3);
        EXPECT_NEAR(r.frequencyOffsetHz, 1000, 0.5);
        EXPECT_NEAR(r.phaseDeg, 30, 0.1);
        EXPECT_NEAR(r.gainDb, -3, 0.05);
        if (snr > 100) {
            EXPECT_LT(r.evmRmsDb, -60);
        } else {
            EXPECT_NEAR(r.evmRmsDb, -snr, 0.2);
        }
        EXPECT_GT(r.samples, static_cast<int64_t>(P) - 200);
    }
}

}  // namespace
