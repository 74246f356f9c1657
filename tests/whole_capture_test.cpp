// Whole-capture passes against the waveform computations they stand for: the averaged spectrum
// of every frame, the levels and the CCDF, and the overview's columns.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

#include "measure/power_statistics.h"
#include "measure/whole_capture.h"
#include "test_signals.h"
#include "waveform/capture_source.h"

namespace {

class WholeCapture : public FolderTest {
protected:
    // Noise with a tone, saved as type and opened as a capture; whole holds it loaded at once.
    void Make(int n, int type) {
        std::mt19937 g(7);
        std::normal_distribution<double> noise(0.0, 0.05);
        cWaveform w = SignalWave(n, 1'000'000, [&](int k) {
            return std::polar(0.3, 0.37 * k) + std::complex<double>(noise(g), noise(g));
        });
        w.fileType = type;
        ASSERT_EQ(w.SaveFile(Path("c.bin")), 1);
        whole.fileType = type;
        ASSERT_EQ(whole.LoadFile(Path("c.bin"), false), 0);
        ASSERT_EQ(capture.Open(Path("c.bin"), type), "");
    }
    cWaveform whole;
    cCaptureSource capture;
};

// Over a seam between blocks, with overlapping frames, the average is the recompute's: bit for
// bit through the recompute's own frames (AC coupled), within float rounding through the batch
// transform (DC coupled, the QI swap); the levels are the waveform's, and the CCDF within the
// histogram's resolution.
TEST_F(WholeCapture, SpectrumLevelsAndCcdfAreThoseOfTheWaveform) {
    Make(4'500'000, kFileCs8);
    for (const bool ac : {true, false}) {
        SpectrumSettings s;
        s.frameStepDivisor = 2;
        s.acCoupling = ac;
        const int kind = ac ? kSpectrumIQ : kSpectrumQI;
        cSpectrumTrace reference;
        std::atomic<bool> stop{false};
        RecomputeHooks hooks;
        hooks.spectrumKind = [kind] { return static_cast<SpectrumKind>(kind); };
        cSpectrumRecompute().Recompute(reference, whole, s, stop, hooks, 0);

        cSpectrumTrace trace;
        WholeCaptureFigures f;
        ASSERT_EQ(MeasureWholeCapture(capture, whole.sampleRate, s, kind, false, trace, f, {}), "");
        EXPECT_EQ(f.samples, 4'500'000);
        EXPECT_EQ(f.frames, (4'500'000 - 16384) / 8192 + 1);
        ASSERT_EQ(trace.pointCount, reference.pointCount);
        for (int k = 0; k < trace.pointCount; ++k) {
            const float r = reference.power[size_t(k)];
            if (ac)
                ASSERT_EQ(trace.power[size_t(k)], r) << k;
            else
                ASSERT_NEAR(trace.power[size_t(k)], r, 2e-5 * r) << k;
        }
        EXPECT_EQ(trace.peakPoint, reference.peakPoint);
    }

    WholeCaptureFigures f;
    {
        cSpectrumTrace trace;
        ASSERT_EQ(MeasureWholeCapture(capture, whole.sampleRate, SpectrumSettings{}, kSpectrumIQ,
                                      false, trace, f, {}),
                  "");
    }
    const CcdfStatistics c = ComputeCcdfStatistics(whole.I.data(), whole.Q.data(), 4'500'000);
    EXPECT_NEAR(f.power.meanPower, c.power.meanPower, 1e-12 * c.power.meanPower);
    EXPECT_EQ(f.power.peakPower, c.power.peakPower);
    EXPECT_NEAR(f.power.meanI, c.power.meanI, 1e-12);
    for (size_t i = 0; i < f.parDb.size(); ++i)
        EXPECT_NEAR(f.parDb[i], c.parDb[i], 0.003) << i;
}

// Each column holds the peak and mean power of its samples (so one loud sample shows in its
// column); with fewer samples than columns each column shows the sample at its start.
TEST_F(WholeCapture, OverviewColumnsArePeakAndMeanOfTheirSamples) {
    Make(100'003, kFileCf32Le);
    const auto columnDb = [&](int64_t first, int64_t last, bool peak) {
        double sum = 0, top = 0;
        for (int64_t k = first; k < last; ++k) {
            const double p = double(whole.I[k]) * whole.I[k] + double(whole.Q[k]) * whole.Q[k];
            sum += p;
            top = std::max(top, p);
        }
        return float(10 * std::log10((peak ? top : sum / double(last - first)) + kPowerFloor));
    };
    for (auto [start, count, columns] :
         {std::tuple{int64_t{0}, int64_t{100'003}, 7}, {10, 99'000, 1000}, {50'000, 5, 8}}) {
        SCOPED_TRACE(columns);
        CaptureOverview o;
        int reports = 0;
        ASSERT_EQ(ComputeCaptureOverview(capture, start, count, columns, o, {},
                                         [&](const CaptureOverview&) { ++reports; }),
                  "");
        EXPECT_EQ(o.columnsDone, columns);
        EXPECT_GE(reports, 1);
        for (int c = 0; c < columns; ++c) {
            const int64_t first = start + c * count / columns;
            const int64_t last = std::max(start + (c + 1) * count / columns, first + 1);
            EXPECT_NEAR(o.peakDb[size_t(c)], columnDb(first, last, true), 1e-4) << c;
            EXPECT_NEAR(o.meanDb[size_t(c)], columnDb(first, last, false), 1e-4) << c;
        }
    }
    CaptureOverview o;
    EXPECT_NE(ComputeCaptureOverview(capture, 100'000, 10, 4, o, {}), "");
    std::atomic<bool> stop{true};
    WorkControl stopped;
    stopped.stop = &stop;
    EXPECT_EQ(ComputeCaptureOverview(capture, 0, 100'003, 4, o, stopped), "stopped");
}

// Passes on worker threads, as the window runs them: two at once over one capture agree, and
// a stop from another thread ends one early (both run under ThreadSanitizer in CI).
TEST_F(WholeCapture, OverviewsOnWorkersShareACaptureAndStop) {
    Make(3'000'000, kFileCs8);
    CaptureOverview a, b;
    std::thread first([&] { ComputeCaptureOverview(capture, 0, 3'000'000, 300, a, {}); });
    std::thread second([&] { ComputeCaptureOverview(capture, 0, 3'000'000, 300, b, {}); });
    first.join();
    second.join();
    EXPECT_EQ(a.peakDb, b.peakDb);
    EXPECT_EQ(a.meanDb, b.meanDb);

    std::atomic<bool> stop{false};
    std::atomic<int> reported{0};
    WorkControl control;
    control.stop = &stop;
    std::string why;
    CaptureOverview o;
    std::thread worker([&] {
        why = ComputeCaptureOverview(capture, 0, 3'000'000, 3000, o, control,
                                     [&](const CaptureOverview& p) { reported = p.columnsDone; });
    });
    while (reported == 0)
        std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_TRUE(why == "stopped" || o.columnsDone == 3000) << why;
}

}  // namespace
