// The spectrum trace against signals with known spectra: level reference, Parseval, noise
// under every window, averaging, the real transform, frequency axis and the recompute loop.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <random>

#include "measure/tone_measurements.h"
#include "spectrum/power_trace.h"
#include "spectrum/trace_recompute.h"
#include "test_signals.h"
#include "waveform/waveform.h"

namespace {

constexpr double kPi = std::numbers::pi;

cWaveform MakeWave(int n, const std::function<std::pair<double, double>(int)>& sample,
                   int64_t rate = 1'024'000) {
    return SignalWave(n, rate, [&](int k) {
        const auto [i, q] = sample(k);
        return std::complex<double>(i, q);
    });
}

cWaveform Tone(int n, double cyclesPerSample, double amplitude = 1.0, bool complex = true) {
    return MakeWave(n, [=](int k) {
        const double a = 2 * kPi * cyclesPerSample * k;
        return std::pair{amplitude * std::cos(a), complex ? amplitude * std::sin(a) : 0.0};
    });
}

// One frame of up to N samples from `start` (L = N, or the whole waveform if shorter) through
// Setup and RunFrame.
void OneFrame(cSpectrumTrace& t, const cWaveform& w, int N, WindowType win, bool complex,
              int start = 0, int view = kSpectrumIQ, bool acCoupling = false) {
    t.Setup(acCoupling, std::min(N, w.sampleCount), N, win, w.sampleRate, complex);
    t.resetRequest = true;
    ASSERT_EQ(t.RunFrame(view, w, start), 0);
}

TEST(SpectrumTrace, FullScaleToneOnABinReadsZeroDbfsWithRect) {
    const int N = 1024;
    cSpectrumTrace t;
    OneFrame(t, Tone(N, 100.0 / N), N, kWindowRect, true);
    ASSERT_EQ(t.pointCount, N + 1);
    EXPECT_EQ(t.peakPoint, 512 + 100);
    EXPECT_NEAR(PowerDb(t.power[612]), 0.0, 1e-4);
    EXPECT_TRUE(t.traceValid);
    // Windows are RMS-normalised: a tone reads lower by the window's mean over its RMS
    // constant. Over n = 0 .. L-1 each cosine term of these (L-1)-periodic windows sums to 1.
    OneFrame(t, Tone(N, 100.0 / N), N, kWindowHann, true);
    EXPECT_NEAR(t.power[612], std::pow((0.5 - 0.5 / N) / 0.6123629808425903, 2), 1e-5);
    OneFrame(t, Tone(N, 100.0 / N), N, kWindowBlackmanHarris, true);
    const double bhMean = 0.35875 - (0.48829 - 0.14128 + 0.01168) / N;
    EXPECT_NEAR(t.power[612], std::pow(bhMean / 0.507927, 2), 1e-5);
}

TEST(SpectrumTrace, NoiseKeepsItsTotalPowerUnderEveryWindow) {
    std::mt19937 rng(4);
    const double sigma = 0.1;  // per rail: E|x|^2 = 2 sigma^2
    std::normal_distribution<double> g(0.0, sigma);
    const cWaveform w = MakeWave(1 << 18, [&](int) { return std::pair{g(rng), g(rng)}; });
    // One Rect frame holds exactly the mean square of its samples.
    double meanSquare = 0;
    for (int k = 0; k < 4096; ++k)
        meanSquare += double(w.I[k]) * w.I[k] + double(w.Q[k]) * w.Q[k];
    cSpectrumTrace frame;
    OneFrame(frame, w, 4096, kWindowRect, true);
    EXPECT_NEAR(frame.totalPower / (meanSquare / 4096), 1.0, 1e-5);
    for (WindowType win : {kWindowRect, kWindowHann, kWindowBlackmanHarris, kWindowBartlett}) {
        const cSpectrumTrace trace = AveragedTrace(w, 4096, win);
        EXPECT_EQ(trace.averageCount, 64);
        // 64 frames of 4096 points: the estimate is good to well under 2 %.
        EXPECT_NEAR(trace.totalPower / (2 * sigma * sigma), 1.0, 0.02) << win;
    }
}

TEST(SpectrumTrace, AverageIsTheMeanOfTheSingleFrames) {
    std::mt19937 rng(5);
    std::normal_distribution<double> g(0.0, 0.2);
    const int N = 512, frames = 6;
    const cWaveform w = MakeWave(N * frames, [&](int k) {
        return std::pair{g(rng) + 0.3 * std::cos(0.1 * k), g(rng)};
    });
    std::vector<double> mean(N + 1, 0.0);
    cSpectrumTrace single;
    for (int f = 0; f < frames; ++f) {
        OneFrame(single, w, N, kWindowHann, true, f * N);
        for (int k = 0; k <= N; ++k)
            mean[k] += single.power[k] / frames;
    }
    const cSpectrumTrace avg = AveragedTrace(w, N, kWindowHann);
    EXPECT_EQ(avg.averageCount, frames);
    for (int k = 0; k <= N; ++k)
        EXPECT_NEAR(avg.power[k] / mean[k], 1.0, 1e-5) << k;
}

TEST(SpectrumTrace, RealTransformGivesHalfTheTraceAndFullLevel) {
    const int N = 1024;
    const cWaveform cosine = Tone(N, 64.0 / N, 1.0, false);
    cSpectrumTrace t;
    OneFrame(t, cosine, N, kWindowRect, false);
    EXPECT_EQ(t.pointCount, N / 2 + 1);
    EXPECT_EQ(t.peakPoint, 64);
    EXPECT_NEAR(PowerDb(t.power[64]), 0.0, 1e-4);
    EXPECT_DOUBLE_EQ(t.PointFrequency(t.pointCount - 1), 512000.0);  // fs/2
    // The same cosine as a complex frame: half the amplitude at each of -f and +f.
    OneFrame(t, cosine, N, kWindowRect, true);
    EXPECT_NEAR(PowerDb(t.power[512 + 64]), -6.0206, 1e-3);
    EXPECT_NEAR(PowerDb(t.power[512 - 64]), -6.0206, 1e-3);
}

TEST(SpectrumTrace, RealFrameReadsTheTruePowerOfDc) {
    // A cosine of amplitude 0.5 on a bin plus DC 0.01: the DC Offset reads the DC's power
    // (-40 dB), as the complex frame does, the cosine keeps its peak level, and the SNR counts
    // the DC at its true share under every window: (0.5^2 / 2) / 0.01^2 = 30.97 dB.
    const int N = 16384;
    const cWaveform w = MakeWave(N, [](int k) {
        return std::pair{0.01 + 0.5 * std::cos(2 * kPi * 1000.0 * k / N), 0.0};
    });
    for (WindowType win : {kWindowRect, kWindowHann, kWindowBlackmanHarris, kWindowBartlett}) {
        cSpectrumTrace t;
        for (bool complex : {false, true}) {
            OneFrame(t, w, N, win, complex);
            EXPECT_NEAR(t.dcLevel, -40.0, 0.01) << win << complex;
        }
        OneFrame(t, w, N, win, false);
        if (win == kWindowRect) {
            EXPECT_NEAR(PowerDb(t.power[1000]), PowerDb(0.25), 1e-4);
        }
        const auto snr = SignalToNoise(t, 0.0, 0.5 * w.sampleRate, 0.0, t.PointFrequency(1000));
        ASSERT_TRUE(snr.has_value());
        // Bartlett's own skirt beyond w holds 4e-5 of the tone, which counts as noise.
        EXPECT_NEAR(*snr, 10 * std::log10(0.125 / 1e-4), win == kWindowBartlett ? 0.25 : 0.01)
            << win;
    }
}

TEST(SpectrumTrace, ZeroPaddedFrameScalesWidthAndLevel) {
    const cWaveform w = Tone(10000, 0.1);
    cSpectrumTrace t;
    t.Setup(false, 10000, 16384, kWindowBlackmanHarris, w.sampleRate, true);
    EXPECT_EQ(t.L, 10000);
    EXPECT_EQ(t.dcHalfWidth, 8);  // integer part of 1.6384 * 5 + 0.5
    t.Setup(false, 16384, 16384, kWindowBlackmanHarris, w.sampleRate, true);
    EXPECT_EQ(t.dcHalfWidth, 5);
    t.Setup(false, 10000, 16384, kWindowRect, w.sampleRate, true);
    EXPECT_EQ(t.dcHalfWidth, 16);
}

TEST(SpectrumTrace, FrequencyAxisAndPeakCentroid) {
    const int N = 1024;
    const int64_t fs = 1'024'000;
    cSpectrumTrace t;
    OneFrame(t, Tone(N, 0.25), N, kWindowBlackmanHarris, true);
    EXPECT_EQ(t.peakPoint, 768);
    t.MeasurePeak();
    EXPECT_NEAR(t.peakFrequency, fs / 4.0, 1.0);
    // Off-bin tone: the centroid of the symmetric main lobe lands near the true frequency.
    OneFrame(t, Tone(N, 100.3 / N), N, kWindowBlackmanHarris, true);
    t.MeasurePeak();
    EXPECT_NEAR(t.peakFrequency, 100.3 * fs / N, 0.05 * fs / N);
    // -fs/2 shows at both ends of the trace; the lower index wins the peak.
    OneFrame(t, Tone(N, -0.5), N, kWindowRect, true);
    EXPECT_EQ(t.peakPoint, 0);
    EXPECT_EQ(t.power[0], t.power[N]);
    EXPECT_NEAR(PowerDb(t.power[0]), 0.0, 1e-4);
    t.MeasurePeak();
    EXPECT_NEAR(t.peakFrequency, -fs / 2.0, 1.0);  // wrapped neighbours count at -fs/2 +- k df
}

TEST(SpectrumTrace, MarkerPowerNeedsThirtyTwoSamples) {
    cSpectrumTrace t;
    const cWaveform small = Tone(20, 0.25);
    OneFrame(t, small, 64, kWindowRect, true);
    t.MeasurePeak();
    EXPECT_TRUE(t.traceValid);
    EXPECT_EQ(t.markerPower, 0.0);
    OneFrame(t, Tone(64, 0.25), 64, kWindowRect, true);
    t.MeasurePeak();
    EXPECT_NEAR(t.markerPower, 0.0, 1e-3);  // the whole tone lies inside the marker band
    EXPECT_NEAR(t.totalPowerDb, 0.0, 1e-3);
}

TEST(SpectrumTrace, AcCouplingRemovesTheMeanOfTheSamplesNotOfThePadding) {
    // L = 3000 of N = 4096: the mean of the L samples is removed from those samples only and
    // the padding stays zero, so the DC point is the windowed sum of x - mean.
    const int L = 3000, N = 4096;
    const cWaveform w = MakeWave(L, [](int k) {
        return std::pair{0.5 + 0.1 * std::cos(0.3 * k), 0.25};
    });
    std::vector<float> win;
    ComputeWindow(kWindowBlackmanHarris, L, win);
    std::complex<double> mean = 0;
    for (int k = 0; k < L; ++k)
        mean += std::complex<double>(w.I[k], w.Q[k]);
    mean /= L;
    std::complex<double> dcBin = 0;
    for (int k = 0; k < L; ++k)
        dcBin += double(win[k]) * (std::complex<double>(w.I[k], w.Q[k]) - mean);
    const double scale = std::sqrt(double(N) / L) / N;
    const double expected = std::norm(dcBin * scale);

    cSpectrumTrace t;
    OneFrame(t, w, N, kWindowBlackmanHarris, true, 0, kSpectrumIQ, true);
    EXPECT_NEAR(t.power[N / 2] / expected, 1.0, 1e-3);

    // A pure DC of 0.01 in 10,000 samples at N = 16384 goes entirely, real or complex.
    for (bool complex : {true, false}) {
        const cWaveform dc10k = MakeWave(10000, [&](int) {
            return std::pair{0.01, complex ? 0.01 : 0.0};
        });
        OneFrame(t, dc10k, 16384, kWindowBlackmanHarris, complex, 0, kSpectrumIQ, true);
        EXPECT_LT(t.dcLevel, -200.0) << complex;
    }

    // Without padding and with Rect the mean goes entirely.
    const cWaveform dc = MakeWave(1024, [](int) { return std::pair{0.5, -0.5}; });
    OneFrame(t, dc, 1024, kWindowRect, true, 0, kSpectrumIQ, true);
    EXPECT_LT(t.dcLevel, -200.0);
    OneFrame(t, dc, 1024, kWindowRect, true);
    EXPECT_NEAR(t.dcLevel, PowerDb(0.5), 1e-4);  // |0.5 - 0.5j|^2, all in the DC point
}

TEST(SpectrumTrace, ChannelsFollowTheViewType) {
    // I carries a tone at +100 bins, Q is zero: I+jQ, Q+jI and Q alone differ.
    const int N = 1024;
    const cWaveform w = MakeWave(N, [](int k) {
        return std::pair{std::cos(2 * kPi * 100 * k / N), 0.0};
    });
    cSpectrumTrace t;
    OneFrame(t, w, N, kWindowRect, true, 0, kSpectrumQI);  // jI: still a tone at +-100 bins
    EXPECT_NEAR(PowerDb(t.power[612]), -6.02, 0.01);
    OneFrame(t, w, N, kWindowRect, true, 0, kSpectrumQ);  // Q + jQ: nothing
    EXPECT_LT(PowerDb(t.power[612]), -200.0);
    EXPECT_EQ(t.RunFrame(kSpectrumIQ, w, 1), kErrFramePastEnd);  // a frame past the end
}

struct Probe {
    SpectrumKind view = kSpectrumIQ;
    bool overview = false;  // a 4-up overview: its pane shows IQ and it keeps its kind
    int measures = 0, redraws = 0;
    std::vector<int> switches;
    bool mask = false;
    std::function<void()> onRedraw;
    RecomputeHooks Hooks() {
        RecomputeHooks h;
        h.spectrumKind = [this] { return view; };
        h.overview = [this] { return overview; };
        h.selectKind = [this](SpectrumKind v) {
            switches.push_back(v);
            view = v;
        };
        h.maskMeasurementActive = [this] { return mask; };
        h.measure = [this] { ++measures; };
        h.redraw = [this] {
            ++redraws;
            if (onRedraw) onRedraw();
        };
        return h;
    }
};

TEST(SpectrumRecompute, FrameCountsAndClearWrite) {
    std::atomic<bool> stop{false};
    SpectrumSettings s;
    s.fftSize = 16384;
    for (auto [n, frames] : {std::pair{65536, 4}, {65535, 3}, {16384, 1}, {16383, 1}}) {
        cSpectrumTrace t;
        cSpectrumRecompute rc;
        Probe p;
        rc.Recompute(t, Tone(n, 0.1), s, stop, p.Hooks(), 0);
        EXPECT_EQ(rc.framesLastRecompute, frames) << n;
        EXPECT_EQ(t.averageCount, frames) << n;
        EXPECT_EQ(t.L, std::min(n, 16384));
        EXPECT_EQ(p.measures, 1);
        EXPECT_EQ(p.redraws, 1);
    }
    s.averaging = false;
    cSpectrumTrace t;
    cSpectrumRecompute rc;
    rc.Recompute(t, Tone(65536, 0.1), s, stop, {}, 20000);
    EXPECT_EQ(rc.framesLastRecompute, 1);
    EXPECT_EQ(t.frameStart, 20000);
    EXPECT_EQ(t.frameEnd, 36384);
    // A start too late for one frame keeps the previous trace.
    const float before = t.power[100];
    rc.recomputeNeeded = true;
    rc.Recompute(t, Tone(65536, 0.2), s, stop, {}, 60000);
    EXPECT_EQ(rc.framesLastRecompute, 0);
    EXPECT_EQ(t.power[100], before);
}

TEST(SpectrumRecompute, RealAndComplexWaveformsSwitchTheView) {
    std::atomic<bool> stop{false};
    SpectrumSettings s;
    s.fftSize = 1024;
    cSpectrumTrace t;
    cSpectrumRecompute rc;
    Probe p;
    rc.Recompute(t, Tone(4096, 0.1, 1.0, false), s, stop, p.Hooks(), 0);
    EXPECT_EQ(p.switches, std::vector<int>{kSpectrumI});
    EXPECT_FALSE(t.complex);
    EXPECT_EQ(t.pointCount, 513);
    rc.recomputeNeeded = true;
    rc.Recompute(t, Tone(4096, 0.1), s, stop, p.Hooks(), 0);
    EXPECT_EQ(p.switches, (std::vector<int>{kSpectrumI, kSpectrumIQ}));
    EXPECT_TRUE(t.complex);
    // The multi-overview keeps its kind and transforms as IQ.
    Probe multi;
    multi.overview = true;
    cSpectrumRecompute rc2;
    rc2.Recompute(t, Tone(4096, 0.1, 1.0, false), s, stop, multi.Hooks(), 0);
    EXPECT_TRUE(multi.switches.empty());
    // "I" and "Q" of a complex waveform are the real transforms of one channel, 0 .. fs/2:
    // cos and sin of amplitude 1 on a bin both read 0 dB there.
    for (SpectrumKind view : {kSpectrumI, kSpectrumQ}) {
        Probe single;
        single.view = view;
        cSpectrumRecompute rc3;
        rc3.Recompute(t, Tone(4096, 100.0 / 1024), s, stop, single.Hooks(), 0);
        EXPECT_FALSE(t.complex) << view;
        EXPECT_EQ(t.pointCount, 513);
        EXPECT_EQ(t.peakPoint, 100);
    }
}

TEST(SpectrumRecompute, GuardsAndShortcuts) {
    std::atomic<bool> stop{false};
    SpectrumSettings s;
    s.fftSize = 1024;
    cSpectrumTrace t;
    cSpectrumRecompute rc;
    const cWaveform w = Tone(4096, 0.1);

    Probe p;  // a redraw that asks for another recompute is turned away while busy
    p.onRedraw = [&] {
        rc.recomputeNeeded = true;
        if (p.redraws == 1) {
            rc.busy = true;
            rc.Recompute(t, w, s, stop, p.Hooks(), 0);
            rc.busy = false;
        }
    };
    rc.Recompute(t, w, s, stop, p.Hooks(), 0);
    EXPECT_EQ(p.redraws, 1);
    EXPECT_EQ(p.measures, 1);

    Probe other;  // no spectrum shown: redraw only
    other.view = kSpectrumNone;
    rc.Recompute(t, w, s, stop, other.Hooks(), 0);
    EXPECT_EQ(other.redraws, 1);
    EXPECT_EQ(other.measures, 0);

    Probe idle;  // nothing needed: measure and redraw the existing trace
    rc.recomputeNeeded = false;
    rc.Recompute(t, w, s, stop, idle.Hooks(), 0);
    EXPECT_EQ(idle.measures, 1);
    EXPECT_EQ(rc.recomputeNeeded, false);
    idle.mask = true;  // the emission mask always wants a fresh trace
    rc.Recompute(t, w, s, stop, idle.Hooks(), 0);
    EXPECT_EQ(rc.framesLastRecompute, 4);

    // Too short for a frame (3 samples after a long capture): the old trace must not stand
    // for the new waveform; the view measures and redraws an invalid trace.
    for (int n : {1, 3, 7}) {
        Probe tiny;
        rc.recomputeNeeded = true;
        ASSERT_TRUE(t.traceValid);
        rc.Recompute(t, Tone(n, 0.1), s, stop, tiny.Hooks(), 0);
        EXPECT_FALSE(t.traceValid) << n;
        EXPECT_EQ(tiny.redraws, 1);
        rc.recomputeNeeded = true;
        rc.Recompute(t, w, s, stop, {}, 0);
    }

    Probe stopped;  // a stop request ends the frame loop before its first frame
    stop = true;
    rc.recomputeNeeded = true;
    rc.Recompute(t, w, s, stop, stopped.Hooks(), 0);
    EXPECT_EQ(rc.framesLastRecompute, 0);
    EXPECT_EQ(stopped.redraws, 1);
    EXPECT_FALSE(rc.busy);
}

}  // namespace
