// Spectrogram rows against a framed FFT written here (windows from their closed forms, a
// double-precision transform), peak hold across zoom levels, and the tiles computed on worker
// threads.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <numbers>
#include <thread>
#include <tuple>

#include "reference_fft.h"
#include "spectrum/spectrogram.h"
#include "workers/spectrogram_tiles.h"

namespace {

// A capture that is a function of the sample index: uniform noise from a hash, a tone, and a
// burst of a second tone, so a capture of any length costs no memory.
struct Synthetic {
    double noise = 0.01, tone = 0.5, toneCycles = 0.11;
    int64_t burstStart = -1, burstLength = 0;
    double burst = 0.0, burstCycles = -0.23;

    static double Uniform(uint64_t x) {
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdULL;
        x ^= x >> 33;
        x *= 0xc4ceb9fe1a85ec53ULL;
        x ^= x >> 33;
        return static_cast<double>(x >> 11) / 9007199254740992.0 - 0.5;
    }
    std::complex<double> At(int64_t n) const {
        std::complex<double> v(noise * Uniform(2 * n), noise * Uniform(2 * n + 1));
        v += std::polar(tone, 2 * std::numbers::pi * toneCycles * static_cast<double>(n));
        if (n >= burstStart && n < burstStart + burstLength)
            v += std::polar(burst, 2 * std::numbers::pi * burstCycles * static_cast<double>(n));
        return v;
    }
    SampleReader Reader() const {
        return [*this](int64_t first, int64_t count, float* I, float* Q) {
            for (int64_t k = 0; k < count; ++k) {
                const auto v = At(first + k);
                I[k] = static_cast<float>(v.real());
                Q[k] = static_cast<float>(v.imag());
            }
            return std::string();
        };
    }
};

// The window of unit RMS from its textbook form.
std::vector<double> ReferenceWindow(WindowType type, int N) {
    std::vector<double> w(static_cast<size_t>(N), 1.0);
    const double pi = std::numbers::pi;
    for (int n = 0; n < N; ++n) {
        const double x = static_cast<double>(n) / (N - 1);
        if (type == kWindowHann) w[n] = 0.5 - 0.5 * std::cos(2 * pi * x);
        if (type == kWindowBlackmanHarris)
            w[n] = 0.35875 - 0.48829 * std::cos(2 * pi * x) + 0.14128 * std::cos(4 * pi * x) -
                   0.01168 * std::cos(6 * pi * x);
        if (type == kWindowBartlett) w[n] = 1.0 - std::fabs(2.0 * x - 1.0);
    }
    // Divided by the RMS of the continuous window (its closed form), as long frames have it.
    double rms = 1.0;
    if (type == kWindowHann) rms = std::sqrt(3.0 / 8.0);
    if (type == kWindowBlackmanHarris)
        rms = std::sqrt(0.35875 * 0.35875 +
                        (0.48829 * 0.48829 + 0.14128 * 0.14128 + 0.01168 * 0.01168) / 2);
    if (type == kWindowBartlett) rms = 1.0 / std::sqrt(3.0);
    for (double& v : w)
        v /= rms;
    return w;
}

// Power per point (DC at N/2) of the frame at start, scaled by 1/N.
std::vector<double> ReferenceFramePower(const Synthetic& s, int64_t start, int N, WindowType t) {
    const auto w = ReferenceWindow(t, N);
    std::vector<cd> x(static_cast<size_t>(N));
    for (int k = 0; k < N; ++k)
        x[k] = s.At(start + k) * w[k];
    const auto X = ReferenceFft(x, -1);
    std::vector<double> p(static_cast<size_t>(N));
    for (int k = 0; k < N; ++k)
        p[k] = std::norm(X[(k + N / 2) % N] / static_cast<double>(N));
    return p;
}

using RowCase = std::tuple<WindowType, int /*overlap %*/, SpectrogramHold>;
class SpectrogramRows : public ::testing::TestWithParam<RowCase> {};

// Rows of one frame, of four frames merged, and rows closer than the hop, each against the
// frames' reference powers merged the same way.
TEST_P(SpectrogramRows, MatchAFramedFft) {
    const auto [window, overlap, hold] = GetParam();
    SpectrogramSettings settings;
    settings.fftSize = 256;
    settings.window = window;
    settings.overlapPercent = overlap;
    settings.hold = hold;
    const int N = settings.fftSize;
    const int64_t hop = settings.Hop();
    Synthetic s;
    const int64_t total = 40 * N;
    cSpectrogramRows rows(settings);
    for (int64_t S : {hop, 4 * hop, int64_t{3}}) {
        SCOPED_TRACE("samples per row " + std::to_string(S));
        const int firstRow = 2, count = 3;
        std::vector<float> out(static_cast<size_t>(count) * N);
        ASSERT_EQ(rows.Compute(s.Reader(), total, S, firstRow, count, out.data()), "");
        for (int r = 0; r < count; ++r) {
            const int64_t begin = (firstRow + r) * S;
            std::vector<int64_t> starts;
            if (S < hop) starts.push_back(begin);
            for (int64_t f = 0; S >= hop && f < total; f += hop)
                if (f >= begin && f < begin + S) starts.push_back(f);
            std::vector<double> merged(static_cast<size_t>(N), 0.0);
            for (int64_t f : starts) {
                const auto p = ReferenceFramePower(s, f, N, window);
                for (int k = 0; k < N; ++k)
                    merged[k] = hold == SpectrogramHold::kPeak ? std::max(merged[k], p[k])
                                                               : merged[k] + p[k] / starts.size();
            }
            for (int k = 0; k < N; ++k) {
                const double ref = 10 * std::log10(merged[k] + 1e-30);
                if (ref < -70) continue;  // float round-off dominates far below the tone
                ASSERT_NEAR(out[r * N + k], ref, 0.02) << "row " << r << " point " << k;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    WindowsOverlapsHolds, SpectrogramRows,
    ::testing::Combine(::testing::Values(kWindowRect, kWindowHann, kWindowBlackmanHarris,
                                         kWindowBartlett),
                       ::testing::Values(0, 50, 75),
                       ::testing::Values(SpectrogramHold::kPeak, SpectrogramHold::kMean)));

// Rows past the end are NaN; the last frames are moved back to end at the last sample, and a
// capture shorter than a frame is zero padded; bad settings are refused with the reason.
TEST(Spectrogram, EndsOfTheCaptureAndBadSettings) {
    SpectrogramSettings settings;
    settings.fftSize = 64;
    Synthetic s;
    cSpectrogramRows rows(settings);
    std::vector<float> out(3 * 64);
    ASSERT_EQ(rows.Compute(s.Reader(), 100, 40, 1, 3, out.data()), "");
    const auto last = ReferenceFramePower(s, 100 - 64, 64, settings.window);
    const int tonePoint = 32 + static_cast<int>(std::lround(s.toneCycles * 64));
    EXPECT_NEAR(out[tonePoint], 10 * std::log10(last[tonePoint]), 0.02);
    EXPECT_NEAR(out[64 + tonePoint], 10 * std::log10(last[tonePoint]), 0.02);
    EXPECT_TRUE(std::isnan(out[2 * 64]));
    ASSERT_EQ(rows.Compute(s.Reader(), 10, 64, 0, 1, out.data()), "");
    EXPECT_TRUE(std::isfinite(out[tonePoint]));

    for (auto [fft, overlap] : {std::pair{48, 50}, {32, 50}, {131072, 50}, {1024, 96}}) {
        SpectrogramSettings bad;
        bad.fftSize = fft;
        bad.overlapPercent = overlap;
        EXPECT_NE(CheckSpectrogramSettings(bad), "") << fft << " " << overlap;
    }
    EXPECT_EQ(CheckSpectrogramSettings(SpectrogramSettings{}), "");
    SampleReader failing = [](int64_t, int64_t, float*, float*) {
        return std::string("the file was cut to 10 bytes");
    };
    EXPECT_EQ(rows.Compute(failing, 1000, 64, 0, 1, out.data()), "the file was cut to 10 bytes");
}

// Waits until the screen has every row (the workers fill it in).
void AssembleComplete(cSpectrogramTiles& tiles, double first, double step, int rows,
                      SpectrogramScreen& screen) {
    for (int i = 0; i < 20000; ++i) {
        tiles.Assemble(first, step, rows, screen);
        if (screen.missingRows == 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    FAIL() << "tiles never arrived";
}

// A 1 ms burst 20 dB above the noise in 4 s at 1 Msps keeps its level within 3 dB in every
// screen from one row per frame to the whole capture in 400 rows, with peak hold; the mean
// of the whole-capture rows buries it.
TEST(Spectrogram, PeakHoldKeepsAShortBurstAtEveryZoom) {
    Synthetic s;
    s.tone = 0.0;
    s.noise = 0.02;
    s.burstStart = 3'654'321;
    s.burstLength = 1000;
    s.burst = 0.02;  // noise power per point is about 20 dB below it
    const int64_t total = 4'000'000;
    SpectrogramSettings settings;
    settings.fftSize = 1024;
    cSpectrogramTiles tiles(2);
    tiles.SetSource(s.Reader(), total, settings);
    const int burstPoint = 512 + static_cast<int>(std::lround(s.burstCycles * 1024));
    auto burstLevel = [&](double first, double step, int rows) {
        SpectrogramScreen screen;
        AssembleComplete(tiles, first, step, rows, screen);
        float best = -400;
        for (int y = 0; y < screen.rows; ++y)
            for (int k = burstPoint - 1; k <= burstPoint + 1; ++k)
                if (std::isfinite(screen.db[y * 1024 + k]))
                    best = std::max(best, screen.db[y * 1024 + k]);
        return best;
    };
    const float zoomedIn = burstLevel(s.burstStart - 2048, 8, 512);
    for (double step : {512.0, 5000.0, 25000.0})
        EXPECT_NEAR(burstLevel(0, step, static_cast<int>(total / step) + 1), zoomedIn, 3.0) << step;
    settings.hold = SpectrogramHold::kMean;
    tiles.SetSource(s.Reader(), total, settings);
    EXPECT_LT(burstLevel(0, 25000, 400), zoomedIn - 10);
}

// Screens asked for from two threads while the source changes under them: every completed
// screen equals the rows computed directly, and the memory budget holds.
TEST(Spectrogram, TilesFromWorkersMatchDirectRowsWithinTheBudget) {
    Synthetic s;
    SpectrogramSettings settings;
    settings.fftSize = 128;
    const int64_t total = 300'000;
    const size_t budget = 200'000;
    cSpectrogramTiles tiles(2, budget);
    std::atomic<int> ready{0};
    tiles.onTileReady = [&] { ++ready; };
    tiles.SetSource(s.Reader(), total, settings);
    auto check = [&](double first, double step, int rows) {
        SpectrogramScreen screen;
        AssembleComplete(tiles, first, step, rows, screen);
        // A pixel row is the peak of the frames that start in it: one row of that many samples.
        const auto S = static_cast<int64_t>(step);
        cSpectrogramRows direct(settings);
        std::vector<float> want(static_cast<size_t>(rows) * 128);
        direct.Compute(s.Reader(), total, S, static_cast<int64_t>(first) / S, rows, want.data());
        for (size_t i = 0; i < want.size(); ++i)
            if (std::isfinite(want[i])) {
                ASSERT_EQ(screen.db[i], want[i]) << i;
            }
    };
    // The same screen from another thread (two screens would take each other's tiles off the
    // queue, as a window showing one screen never does).
    std::thread other([&] {
        for (int i = 0; i < 5; ++i)
            check(0, 256, 80);
    });
    for (int i = 0; i < 3; ++i) {
        check(0, 256, 80);
        tiles.SetSource(s.Reader(), total, settings);
    }
    other.join();
    check(1024, 1, 300);
    EXPECT_LE(tiles.HeldBytes(), budget);
    EXPECT_GT(ready.load(), 0);
}

}  // namespace
