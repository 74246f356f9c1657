// Measurements against signals whose answers are known in closed form, computed independently
// of the code under test.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <random>

#include "dsp/fft.h"
#include "measure/channel_measurements.h"
#include "measure/emission_mask.h"
#include "measure/markers.h"
#include "measure/measurements.h"
#include "measure/tone_measurements.h"
#include "spectrum/trace_recompute.h"
#include "test_signals.h"
#include "waveform/waveform.h"

namespace {

constexpr double kPi = std::numbers::pi;
using cd = std::complex<double>;

cd Tone(double amplitude, double bin, int N, int k) {
    return std::polar(amplitude, 2 * kPi * bin * k / N);
}

// The averaged trace of a waveform with its peak measured, as the view computes it.
cSpectrumTrace Trace(const cWaveform& w, int N, WindowType win = kWindowBlackmanHarris) {
    cSpectrumTrace t = AveragedTrace(w, N, win);
    t.MeasurePeak();
    return t;
}

double Db(double amplitude) { return 20.0 * std::log10(amplitude); }

TEST(SignalToNoise, ToneInNoiseOverSpanAndBand) {
    const int N = 4096;
    const int64_t fs = 4'096'000;
    std::mt19937 rng(1);
    const double noisePower = 0.25e-3;  // against a tone of power 0.25: 30 dB over the full band
    std::normal_distribution<double> g(0.0, std::sqrt(noisePower / 2));
    const cWaveform w =
        SignalWave(N * 64, fs, [&](int k) { return Tone(0.5, 512, N, k) + cd(g(rng), g(rng)); });
    const cSpectrumTrace t = Trace(w, N);
    ASSERT_EQ(t.peakPoint, N / 2 + 512);
    // Full span (a complex trace of N points is not widened).
    auto snr = SignalToNoise(t, -fs / 2.0, fs / 2.0, 0.0, t.peakFrequency);
    ASSERT_TRUE(snr);
    EXPECT_NEAR(*snr, 30.0, 0.2);
    EXPECT_NEAR(*SignalToNoise(t, -fs / 2.0, fs / 2.0, 0.5, t.peakFrequency), *snr,
                1e-12);  // 0.5 Hz: span
    // A quarter of the band around the tone, widened by w points each side.
    snr = SignalToNoise(t, 0, 0, fs / 4.0, t.peakFrequency);
    ASSERT_TRUE(snr);
    const double points = N / 4.0 + 2 * t.dcHalfWidth;
    EXPECT_NEAR(*snr, 30.0 + 10 * std::log10(N / points), 0.3);
    // A band reaching beyond one trace period has no value; short frames give 0.
    EXPECT_FALSE(SignalToNoise(t, -2.0 * fs, 2.0 * fs, 0.0, 0.0));
    cSpectrumTrace shortFrame =
        Trace(SignalWave(20, fs, [](int k) { return Tone(1, 1, 20, k); }), 128);
    EXPECT_EQ(*SignalToNoise(shortFrame, -fs / 2.0, fs / 2.0, 0.0, 0.0), 0.0);
}

TEST(Spurs, CarrierThenSpursByStrength) {
    const int N = 8192;
    const int64_t fs = 8'192'000;
    // Carrier at 0 dBFS, spurs at -40, -50, -60 dBFS.
    const cWaveform w = SignalWave(N * 4, fs, [&](int k) {
        return Tone(1.0, 1000, N, k) + Tone(0.01, -2000, N, k) +
               Tone(std::pow(10, -2.5), 300, N, k) + Tone(0.001, 3000, N, k);
    });
    const cSpectrumTrace t = Trace(w, N);
    const auto spurs = FindSpurs(t);
    EXPECT_NEAR(spurs[0].levelDb, 0.0, 0.05);
    EXPECT_NEAR(spurs[0].frequencyHz, 1000.0 * fs / N, 50.0);
    EXPECT_NEAR(spurs[1].levelDb, -40.0, 0.05);
    EXPECT_NEAR(spurs[1].frequencyHz, -2000.0 * fs / N, 5.0);
    EXPECT_NEAR(spurs[2].levelDb, -50.0, 0.05);
    EXPECT_NEAR(spurs[3].levelDb, -60.0, 0.05);
}

TEST(Spurs, OverlappingExclusionsListEachToneOnce) {
    // Tones 12 points apart: their exclusion ranges (+-8 points) overlap. Every entry must be a
    // different place in the spectrum.
    const int N = 4096;
    const cWaveform w = SignalWave(N * 4, 4'096'000, [&](int k) {
        return Tone(1.0, 1000, N, k) + Tone(0.1, 1012, N, k) + Tone(0.01, -500, N, k);
    });
    const auto spurs = FindSpurs(Trace(w, N));
    EXPECT_NEAR(spurs[1].levelDb, -20.0, 0.1);
    EXPECT_NEAR(spurs[2].levelDb, -40.0, 0.1);
    for (size_t i = 0; i < spurs.size(); ++i)
        for (size_t j = i + 1; j < spurs.size(); ++j)
            EXPECT_NE(spurs[i].frequencyHz, spurs[j].frequencyHz) << i << " " << j;
}

// A -1 dBFS tone at a fraction of a bin over noise 100 dB down, under each window. The first
// spur is the carrier's skirt or the noise; its level must not take in the carrier's own main
// lobe (that read 29 dB under every window). Reference: the carrier's band against the band
// of the strongest point outside the search's exclusion with the carrier's band left out,
// found by brute force over the trace.
class CleanToneSfdr : public testing::TestWithParam<std::tuple<WindowType, double>> {};

TEST_P(CleanToneSfdr, ReadsTheSkirtOrNoiseNotTheMainLobe) {
    const auto [window, fraction] = GetParam();
    const int N = 8192;
    std::mt19937 rng(7);
    std::normal_distribution<double> g(0.0, std::sqrt(std::pow(10, -10.1) / 2));
    const cWaveform w = SignalWave(N * 4, 30'720'000, [&](int k) {
        return Tone(std::pow(10, -1 / 20.0), 1000 + fraction, N, k) + cd(g(rng), g(rng));
    });
    const cSpectrumTrace t = Trace(w, N, window);
    const int c = t.peakPoint, hw = t.dcHalfWidth;
    const int exclusion = static_cast<int>(1.5 * hw + 0.5);
    auto bandOutsideCarrier = [&](int q) {
        double sum = 0;
        for (int j = q - hw; j <= q + hw; ++j)
            if (std::abs(j - c) > hw) sum += t.power[t.MapIndex(j)];
        return sum;
    };
    int strongest = -1;
    for (int q = 0; q < N; ++q)
        if (std::abs(q - c) >= exclusion && (strongest < 0 || t.power[q] > t.power[strongest]))
            strongest = q;
    double carrierBand = 0;
    for (int j = c - hw; j <= c + hw; ++j)
        carrierBand += t.power[j];
    const double reference = 10 * std::log10(carrierBand / bandOutsideCarrier(strongest));
    const auto spurs = FindSpurs(t);
    EXPECT_NEAR(spurs[0].levelDb - spurs[1].levelDb, reference, 1.0);
    // Every window but Rect off a bin has its skirt 40 dB down within a band's width.
    if (window != kWindowRect || fraction == 0.0) {
        EXPECT_GT(spurs[0].levelDb - spurs[1].levelDb, 40.0);
    }
}

INSTANTIATE_TEST_SUITE_P(WindowsAndFractions, CleanToneSfdr,
                         testing::Combine(testing::Values(kWindowRect, kWindowHann,
                                                          kWindowBlackmanHarris, kWindowBartlett),
                                          testing::Values(0.0, 0.25, 0.37, 0.5)));

struct TwoTone {
    double a1, a2, a3;  // tone amplitudes, cubic coefficient of y = x + a3 |x|^2 x
    int bin1, bin2;
};

cSpectrumTrace TwoToneTrace(const TwoTone& c, int N = 4096) {
    const cWaveform w = SignalWave(N * 4, 4'096'000, [&](int k) {
        const cd x = Tone(c.a1, c.bin1, N, k) + Tone(c.a2, c.bin2, N, k);
        return x + c.a3 * std::norm(x) * x;
    });
    return Trace(w, N);
}

TEST(TonePair, CubicNonLinearityGivesClosedFormImdAndIp3) {
    // |x|^2 x of two unit tones = 3 e1 + 3 e2 + e1^2 e2* + e2^2 e1*: each tone becomes
    // A(1 + 3 a3 A^2), each third-order product a3 A^3.
    const double A = 0.25, a3 = -0.5;
    const cSpectrumTrace t = TwoToneTrace({A, A, a3, 100, 130});
    const int tone1 = t.peakPoint;
    const auto r = FindTonePair(t, tone1, t.MarkerPowerAt(tone1));
    ASSERT_TRUE(r);
    const double pTone = Db(A * (1 + 3 * a3 * A * A)), pImd = Db(std::fabs(a3) * A * A * A);
    EXPECT_NEAR(t.MarkerPowerAt(tone1), pTone, 0.01);
    EXPECT_NEAR(r->imd3LowerDbc, pImd - pTone, 0.02);
    EXPECT_NEAR(r->imd3UpperDbc, pImd - pTone, 0.02);
    EXPECT_NEAR(r->ip3Dbfs, pTone + (pTone - pImd) / 2, 0.02);
    EXPECT_EQ(std::abs(r->tone2 - tone1), 30);
    EXPECT_EQ(std::min(r->lowerProduct, r->upperProduct), 2048 + 70);
    EXPECT_EQ(std::max(r->lowerProduct, r->upperProduct), 2048 + 160);
}

TEST(TonePair, AcceptanceRules) {
    auto found = [](const TwoTone& c, int N = 4096) {
        const cSpectrumTrace t = TwoToneTrace(c, N);
        return FindTonePair(t, t.peakPoint, t.MarkerPowerAt(t.peakPoint)).has_value();
    };
    const double a = std::pow(10.0, -10.0 / 20);
    EXPECT_TRUE(found({a, a * std::pow(10.0, -1.4 / 20), 0.0, 100, 160}));  // -10.0 and -11.4 dBFS
    EXPECT_FALSE(
        found({a, a * std::pow(10.0, -1.55 / 20), 0.0, 100, 160}));  // -10.0 and -11.55 dBFS
    EXPECT_TRUE(found({a, a, 0.0, 100, 400}, 1024));    // 300 points apart in 1025: within a third
    EXPECT_FALSE(found({a, a, 0.0, 0, 400}, 1024));     // 400 points apart: too far
    EXPECT_FALSE(found({0.25, 0.25, -3.4, 100, 130}));  // products 4.6 dB below the tones
}

TEST(OccupiedBandwidth, FlatSpectrumHolds99PercentOfTheSpan) {
    cSpectrumTrace t;
    t.N = 1024;
    t.complex = true;
    t.pointCount = 1025;
    t.sampleRate = 1'024'000;
    std::fill(t.power.begin(), t.power.begin() + 1025, 1.0f);
    t.totalPowerDb = 10 * std::log10(1025.0);
    const OccupiedBandwidthResult r = OccupiedBandwidth(t);
    // Each tail takes ceil(0.005 * 1025) = 6 points.
    EXPECT_DOUBLE_EQ(r.lowerEdgeHz, 6 * 1000.0 - 512000.0);
    EXPECT_DOUBLE_EQ(r.upperEdgeHz, (1024 - 6) * 1000.0 - 512000.0);
    EXPECT_NEAR(r.bandwidthHz / 1'024'000, 0.99, 0.003);
    EXPECT_NEAR(r.powerDb, 10 * std::log10(1025.0 - 12), 1e-6);

    EXPECT_EQ(ClosestLteBandwidthHz(7.5e6), 5'000'000);  // tie: the smaller
    EXPECT_EQ(ClosestLteBandwidthHz(12.6e6), 15'000'000);
    EXPECT_EQ(ClosestLteBandwidthHz(12.5e6), 10'000'000);
    EXPECT_EQ(ClosestLteBandwidthHz(40e6), 20'000'000);
}

// Noise confined to bands, made in the frequency domain: the main channel at full level, the
// upper adjacent channel 30 dB down.
cWaveform BandNoise(int64_t fs, int n, double halfWidthHz, double leakCentreHz, double leakDb) {
    std::mt19937 rng(2);
    std::normal_distribution<float> g(0.0f, 1.0f);
    std::vector<float> bins(2 * static_cast<size_t>(n), 0.0f);
    const double leak = std::pow(10.0, leakDb / 20);
    for (int b = 0; b < n; ++b) {
        const double f = (b < n / 2 ? b : b - n) * double(fs) / n;
        double gain = std::fabs(f) < halfWidthHz ? 1.0 : 0.0;
        if (std::fabs(f - leakCentreHz) < halfWidthHz) gain = leak;
        bins[2 * b] = static_cast<float>(gain * g(rng));
        bins[2 * b + 1] = static_cast<float>(gain * g(rng));
    }
    ComplexFFT(bins.data(), n, +1);
    return SignalWave(n, fs, [&](int k) { return cd(bins[2 * k], bins[2 * k + 1]) * 1e-3; });
}

TEST(Aclr, BandLimitedNoiseCarrierWithLeakage) {
    const int64_t fs = 122'880'000;
    const cWaveform w = BandNoise(fs, 1 << 18, 9e6, 20e6, -30.0);
    cSpectrumTrace t = Trace(w, 8192);
    cMeasurements m;
    m.SelectAclrBandwidth(kCmdAclr20);
    m.Measure(t, 0.0);
    const auto& a = m.results.aclrDb;
    ASSERT_EQ(a.size(), 5u);               // x = 8193 * 15000 / 20e6 = 6.1: all five channels
    EXPECT_NEAR(a[2] - a[0], -30.0, 0.3);  // upper 1
    EXPECT_LT(a[1] - a[0], -80.0);         // lower 1: only window leakage
    EXPECT_NEAR(a[0], t.totalPowerDb, 0.05);
}

// A modulated carrier (noise over 18 MHz) and a tone outside it: the carrier's band is the
// carrier, not its spurs, so the tone is the first spur and the SFDR is never negative.
TEST(Spurs, AModulatedCarriersOwnLobeIsNoSpur) {
    const int64_t fs = 122'880'000;
    const int n = 1 << 18;
    const cWaveform carrier = BandNoise(fs, n, 9e6, 1e12, 0.0);
    const double toneHz = 30e6;
    const cWaveform w = SignalWave(n, fs, [&](int k) {
        return cd(carrier.I[k], carrier.Q[k]) + std::polar(0.003, 2 * kPi * toneHz * k / fs);
    });
    const auto spurs = FindSpurs(Trace(w, 8192));
    EXPECT_NEAR(spurs[1].frequencyHz, toneHz, 2.0 * fs / 8192);
    EXPECT_NEAR(spurs[1].levelDb, Db(0.003), 0.1);
    for (size_t i = 1; i < spurs.size(); ++i)
        EXPECT_GE(spurs[0].levelDb, spurs[i].levelDb) << i;
}

TEST(Aclr, ChannelsThatFitTheTrace) {
    cEmissionMask mask;
    std::vector<float> flat(kMaxTracePoints, 1.0f);
    // W-CDMA at 61.44 MHz, N = 16384: df = 3750 Hz, h = 512 points, all five channels.
    mask.AdjacentChannelPower(flat, 16385, 3750.0f, 5e6, 0.768);
    ASSERT_EQ(mask.aclrDb.size(), 5u);
    EXPECT_NEAR(mask.aclrDb[0], 10 * std::log10(2 * 512 + 1), 1e-4);
    // LTE 20 MHz at 30.72 MHz, N = 2048: x = 1.5, the main channel only.
    mask.AdjacentChannelPower(flat, 2049, 15000.0f, 20e6, 0.903);
    EXPECT_EQ(mask.aclrDb.size(), 1u);
}

TEST(EmissionMask, LimitsAtTheBreakPoints) {
    cEmissionMask m;
    const double o = -50.0, pc = 40.0;  // limits in dBm become dBm + o; the carrier sits at pc + o
    ASSERT_EQ(m.BuildMask(3, 5, pc, o), 0);
    const double h = 2.5e6;
    for (double sign : {-1.0, 1.0}) {
        EXPECT_DOUBLE_EQ(m.Limit(sign * (h + 1)), -12.5 + o);
        EXPECT_DOUBLE_EQ(m.Limit(sign * (h + 1.2e6)), -24.5 + o);
        EXPECT_NEAR(m.Limit(sign * (h + 0.5e6)), -12.5 - 12.0 * 285 / 800 + o, 1e-9);
        EXPECT_DOUBLE_EQ(m.Limit(sign * (h + 5e6)), -11.5 + o);
        EXPECT_DOUBLE_EQ(m.Limit(sign * (h + 20e6)), -15 + o);
        EXPECT_DOUBLE_EQ(m.MeasurementBandwidth(sign * (h + 1.5e6)), 30e3);
        EXPECT_DOUBLE_EQ(m.MeasurementBandwidth(sign * (h + 1.6e6)), 1e6);
    }
    EXPECT_DOUBLE_EQ(m.Limit(0.0), pc + o);

    ASSERT_EQ(m.BuildMask(1, 10, pc, o), 0);
    EXPECT_DOUBLE_EQ(m.Limit(5e6 + 2.5e6), -9.0 + o);  // halfway down -5.5 .. -12.5
    EXPECT_DOUBLE_EQ(m.Limit(-5e6 - 12e6), -13.0 + o);
    EXPECT_DOUBLE_EQ(m.MeasurementBandwidth(-100e6), 100e3);
    ASSERT_EQ(m.BuildMask(2, 10, pc, o), 0);
    EXPECT_DOUBLE_EQ(m.MeasurementBandwidth(5e6 + 10.1e6), 1e6);
    EXPECT_DOUBLE_EQ(m.MeasurementBandwidth(5e6 + 9.9e6), 100e3);

    ASSERT_EQ(m.BuildMask(4, 20, pc, o), 0);  // absolute levels, no bandwidth, no offset
    EXPECT_DOUBLE_EQ(m.Limit(0.15e6), -22.75);
    EXPECT_DOUBLE_EQ(m.Limit(-3e6), -83.0);
    EXPECT_DOUBLE_EQ(m.Limit(10e6), -88.0);
    EXPECT_DOUBLE_EQ(m.MeasurementBandwidth(1.7e6), 30e3);
    EXPECT_DOUBLE_EQ(m.MeasurementBandwidth(1.9e6), 100e3);

    ASSERT_EQ(m.BuildMask(5, 10, pc, o), 0);
    const double edge = 5e6;
    const std::pair<double, double> expected[] = {{0.5, -18}, {1.5, -10}, {2.6, -10}, {4, -10},
                                                  {5.5, -13}, {8, -13},   {12, -25},  {17, -25},
                                                  {22, -30},  {30, -30}};
    for (auto [mhz, level] : expected) {
        EXPECT_DOUBLE_EQ(m.Limit(edge + mhz * 1e6), level + o) << mhz;
        EXPECT_DOUBLE_EQ(m.Limit(-edge - mhz * 1e6), level + o) << mhz;
    }
    ASSERT_EQ(m.BuildMask(5, 7, pc, 0.0), 0);  // a bandwidth without a row
    EXPECT_DOUBLE_EQ(m.Limit(3.5e6 + 2.6e6), -25.0);
    EXPECT_EQ(m.BuildMask(6, 5, pc, o), kErrUnknownMask);
}

TEST(EmissionMask, CheckPassFailAndResolution) {
    const int64_t fs = 61'440'000;
    cEmissionMask m;
    m.BuildMask(3, 5, 40.0, -40.0);  // the carrier power setting equals the trace's 0 dB
    std::vector<float> power(kMaxTracePoints, 0.0f);
    EXPECT_EQ(m.CheckMask(power, 1025, static_cast<float>(fs / 1024.0)),
              kErrResolutionTooCoarse);  // 60 kHz
    // N = 2048 gives exactly 30 kHz: accepted. A flat carrier over +-2.25 MHz at 0 dB in total,
    // nothing outside but a floor far below every limit.
    const int N = 2048, nb = N + 1;
    const float df = static_cast<float>(fs / double(N));
    auto carrier = [&](std::vector<float>& p) {
        const int halfPoints = static_cast<int>(2.25e6 / df);
        for (int j = 0; j < nb; ++j)
            p[j] = std::abs(j - N / 2) <= halfPoints ? 1.0f / (2 * halfPoints + 1) : 1e-12f;
    };
    carrier(power);
    ASSERT_EQ(m.CheckMask(power, nb, df), 0);
    EXPECT_TRUE(m.pass);
    EXPECT_GT(m.smallestMarginDb, 0.0f);
    // A spur 4 MHz beyond the upper channel edge at -20 dB (limit there: -11.5 - 40 = -51.5).
    carrier(power);
    const int spur = N / 2 + static_cast<int>((2.5e6 + 4e6) / df);
    power[spur] = 0.01f;
    ASSERT_EQ(m.CheckMask(power, nb, df), 0);
    EXPECT_FALSE(m.pass);
    EXPECT_NEAR(m.smallestMarginFrequencyHz, 6.5e6, 0.6e6);  // within the 1 MHz integration
    EXPECT_NEAR(m.smallestMarginDb, -51.5 + 20.0, 0.5);
}

TEST(Measure, AutomaticBandwidthAndMaskSwitchingItselfOff) {
    const int64_t fs = 61'440'000;
    const cWaveform w = BandNoise(fs, 1 << 16, 4.6e6, 1e12, -200.0);  // 9.2 MHz occupied
    cSpectrumTrace t = Trace(w, 1024);  // df = 60 kHz: too coarse for 30 kHz mask bandwidths
    cMeasurements m;
    m.ToggleLteAutoBandwidth();
    m.ToggleMaskAutoBandwidth();
    m.Measure(t, 0.0);
    EXPECT_EQ(m.settings.aclrBandwidthHz, 10'000'000);
    EXPECT_FALSE(m.settings.MaskOn());  // turned on by the automatic choice, then off: too coarse
    EXPECT_FALSE(m.settings.maskAutoBandwidth);
    EXPECT_EQ(m.results.notice, "Emission mask needs a resolution of 30 kHz or finer");
    cSpectrumTrace fine = Trace(w, 4096);
    m.ToggleMaskAutoBandwidth();
    m.Measure(fine, 0.0);
    EXPECT_TRUE(m.settings.MaskOn());
    EXPECT_EQ(m.settings.maskBandwidthMHz, 10);
    EXPECT_NEAR(m.results.obw.bandwidthHz, 0.99 * 9.2e6, 0.05e6);
}

TEST(Measure, MaskLeavesThePowerTraceToTheToneMeasurements) {
    // A tone 90 dB over the noise: its SNR is the same with the emission mask on, and the mask
    // keeps its integrated trace to itself.
    const int N = 16384;
    const int64_t fs = 61'440'000;
    std::mt19937 rng(3);
    std::normal_distribution<double> g(0.0, std::sqrt(1e-9 / 2));
    const cWaveform w =
        SignalWave(N * 4, fs, [&](int k) { return Tone(0.5, 300, N, k) + cd(g(rng), g(rng)); });
    cSpectrumTrace t = Trace(w, N);
    cMeasurements m;
    m.Measure(t, 0.0);
    m.MeasureTones(t, t.peakPoint, t.markerPower, -fs / 2.0, fs / 2.0);
    ASSERT_TRUE(m.results.snrDb);
    const double snr = *m.results.snrDb;
    EXPECT_GT(snr, 80.0);
    const std::vector<float> before(t.power.begin(), t.power.begin() + t.pointCount);
    m.SelectMaskBandwidth(kCmdMask5);
    m.Measure(t, 0.0);
    ASSERT_TRUE(m.settings.MaskOn());
    EXPECT_EQ(m.mask.integrated.size(), size_t(t.pointCount));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), t.power.begin()));
    m.MeasureTones(t, t.peakPoint, t.markerPower, -fs / 2.0, fs / 2.0);
    ASSERT_TRUE(m.results.snrDb);
    EXPECT_DOUBLE_EQ(*m.results.snrDb, snr);
}

TEST(Measure, CommandRules) {
    cMeasurements m;
    EXPECT_TRUE(m.SelectAclrBandwidth(kCmdAclr10));
    EXPECT_TRUE(m.IsChecked(kCmdAclr10));
    m.SelectAclrBandwidth(kCmdAclr10);  // the same again: off
    EXPECT_EQ(m.settings.aclrBandwidthHz, 0);
    m.SelectAclrBandwidth(kCmdAclrWcdma);
    EXPECT_EQ(m.settings.aclrBandwidthHz, kWcdmaBandwidthHz);
    m.ToggleLteAutoBandwidth();
    EXPECT_TRUE(m.IsChecked(kCmdLteAutoBw));
    EXPECT_FALSE(m.IsChecked(kCmdAclrWcdma));
    m.ToggleLteAutoBandwidth();  // off: ACLR off too
    EXPECT_EQ(m.settings.aclrBandwidthHz, 0);

    EXPECT_FALSE(m.SelectMaskType(kMaskType705));  // mask off: no recompute
    EXPECT_TRUE(m.IsChecked(kMaskType705));
    m.SelectMaskBandwidth(kCmdMask15);
    EXPECT_EQ(m.settings.maskBandwidthMHz, 15);
    EXPECT_TRUE(m.SelectMaskType(kMaskType1016));
    m.SelectMaskBandwidth(kCmdMask15);
    EXPECT_FALSE(m.settings.MaskOn());

    EXPECT_EQ(m.SetCarrierPower(43.0), "Carrier Power for SEM measurement updated");
    EXPECT_EQ(m.SetCarrierPower(100.0), "ERR: Invalid Carrier Power entered!");
    EXPECT_EQ(m.settings.carrierPowerDbm, 43.0);
    EXPECT_EQ(m.SetSnrBandwidth(1e6, 30.72e6), "SNR Measurement BW Set");
    EXPECT_EQ(m.SetSnrBandwidth(40e6, 30.72e6), "");
    EXPECT_EQ(m.SetSnrBandwidth(-1.0, 30.72e6), "");
    EXPECT_EQ(m.settings.snrBandwidthHz, 1e6);
}

// A marker on a tone reads the tone measurement (its marker power, the tone's power, and its
// centroid frequency); band power over a channel reads ACLR's channel power; the peak search
// walks the two tones and skips the window's sidelobes; delta mode reads M2 against M1.
TEST(Markers, ToneChannelAndPeakReadouts) {
    const int64_t fs = 122'880'000;
    const int N = 8192;
    const double bin = fs / double(N);
    const cWaveform carrier = BandNoise(fs, 1 << 18, 9e6, 20e6, -30.0);
    const cWaveform w = SignalWave(1 << 18, fs, [&](int k) {
        return cd(carrier.I[k], carrier.Q[k]) + Tone(0.5, 3000.25, N, k) + Tone(0.05, -2000, N, k);
    });
    cSpectrumTrace t = Trace(w, N);
    cMeasurements m;
    m.SelectAclrBandwidth(kCmdAclr20);
    m.Measure(t, 0.0);

    MarkerSettings s;
    s.frequencyHz[0] = 3000 * bin;  // near the tone, not on its peak point
    s.frequencyHz[2] = -2000.3 * bin;
    s.delta = true;
    const std::vector<MarkerReading> r = MeasureSpectrumMarkers(t, s);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].number, 1);
    EXPECT_EQ(r[1].number, 3);
    EXPECT_EQ(r[0].point, N / 2 + 3000);
    EXPECT_NEAR(r[0].markerPowerDb, t.markerPower, 0.01);  // the tone measurement's reading
    EXPECT_NEAR(r[0].markerPowerDb, Db(0.5), 0.05);
    EXPECT_NEAR(r[0].peakFrequencyHz, t.peakFrequency, 1e-6);
    EXPECT_NEAR(r[0].peakFrequencyHz, 3000.25 * bin, 0.05 * bin);
    EXPECT_EQ(r[1].point, N / 2 - 2000);
    EXPECT_DOUBLE_EQ(*r[1].deltaHz, -5000 * bin);
    EXPECT_DOUBLE_EQ(*r[1].deltaDb, r[1].levelDb - r[0].levelDb);

    // The ACLR channels: 20 MHz spacing, 0.903 of it integrated.
    const double width = 20e6 * 0.903;
    EXPECT_NEAR(*BandPowerDb(t, 0, width), m.results.aclrDb[0], 0.01);
    EXPECT_NEAR(*BandPowerDb(t, 20e6, width), m.results.aclrDb[2], 0.01);
    EXPECT_FALSE(BandPowerDb(t, 60e6, width).has_value());  // runs past the trace

    const int all0 = 0, all1 = t.pointCount - 1;
    const int top = HighestPeak(t, all0, all1);
    EXPECT_EQ(top, N / 2 + 3000);
    EXPECT_EQ(NextLowerPeak(t, top, all0, all1), N / 2 - 2000);
    // Left of the strong tone within a span below the carrier: the weak tone.
    EXPECT_EQ(NextPeak(t, top, -1, N / 2 - 2500, N / 2 - 1000), N / 2 - 2000);
    EXPECT_EQ(HighestPeak(t, N / 2 + 3100, N / 2 + 3200), -1);  // sidelobes only
}

// White noise of power P reads P - 10 log10(fs) dB/Hz under every window.
class NoiseDensity : public testing::TestWithParam<WindowType> {};

TEST_P(NoiseDensity, ReadsThePowerOverTheRate) {
    const int64_t fs = 30'720'000;
    std::mt19937 g(11);
    std::normal_distribution<double> n(0.0, 0.01);  // P = 2e-4 (complex)
    const cWaveform w = SignalWave(1 << 20, fs, [&](int) { return cd(n(g), n(g)); });
    const cSpectrumTrace t = Trace(w, 4096, GetParam());
    for (double f : {-5e6, 0.0, 7e6})
        EXPECT_NEAR(NoiseDensityDbHz(t, f, 3e6), 10 * std::log10(2e-4 / fs), 0.1) << f;
}

INSTANTIATE_TEST_SUITE_P(Windows, NoiseDensity,
                         testing::Values(kWindowRect, kWindowHann, kWindowBlackmanHarris,
                                         kWindowBartlett));

}  // namespace
