// Play-through and file monitoring as the window runs them, each step ending in a drawn
// spectrum at 1600 x 1000: the time one play-through segment takes (the loop then pauses
// 10 ms, so frames per second = 1 / (time + 10 ms)), and the time from a rewrite of a monitored
// file to the redrawn view (median of 100 rewrites).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <thread>
#include <vector>

#include "display/frequency_plot.h"
#include "display/plot_engine.h"
#include "spectrum/trace_recompute.h"
#include "waveform/waveform.h"
#include "workers/file_monitor.h"
#include "workers/play_through.h"

namespace {

constexpr int kW = 1600, kH = 1000;
using Clock = std::chrono::steady_clock;

cWaveform Tone(int n) {
    cWaveform w;
    w.AllocateScratch(n);
    for (int k = 0; k < n; ++k) {
        w.scratchI[k] = 0.5f * std::cos(0.3f * static_cast<float>(k % 1000));
        w.scratchQ[k] = 0.5f * std::sin(0.3f * static_cast<float>(k % 1000));
    }
    w.SwapScratch();
    w.sampleRate = 30'720'000;
    w.fileType = kFileBin16BeTwos;
    return w;
}

// What the window does after each exchange: recompute from sample 0 and draw the spectrum.
struct Screen {
    cPlotEngine engine;
    cSpectrumRecompute recompute;
    SpectrumSettings settings;
    QImage image{kW, kH, QImage::Format_RGB32};
    std::atomic<bool> stop{false};
    void Show(const cWaveform& w) {
        recompute.recomputeNeeded = true;
        RecomputeHooks hooks;
        hooks.spectrumKind = [] { return kSpectrumIQ; };
        hooks.measure = [this] { engine.Measure(); };
        recompute.Recompute(engine.trace, w, settings, stop, hooks, 0);
        QPainter p(&image);
        const double fs = static_cast<double>(w.sampleRate);
        MeasureAndDrawSpectrum(engine, p, kW, kH, -fs / 2, fs / 2);
    }
};

void BM_PlayThroughSegment(benchmark::State& state) {
    cWaveform main = Tone(1 << 20);
    Screen screen;
    screen.settings.fftSize = 16384;
    std::mutex lock;
    WorkerLink link;
    link.waveLock = &lock;
    link.fftSize = [] { return 16384; };
    link.recompute = [&] { screen.Show(main); };
    std::atomic<bool> stop{false};
    int64_t segments = 0;
    link.onSegment = [&](int64_t) { ++segments; };
    for (auto _ : state) {
        // One run of 50 segments (the worker's 10 ms pauses included), then the restore.
        segments = 0;
        link.onSegment = [&](int64_t) {
            if (++segments == 50) stop = true;
        };
        stop = false;
        RunPlayThrough(main, link, stop);
    }
    state.counters["segments_per_run"] = 50;
}
BENCHMARK(BM_PlayThroughSegment)->Unit(benchmark::kMillisecond)->Iterations(3);

// The segment's own work, without the pause: exchange, recompute and draw.
void BM_PlayThroughWork(benchmark::State& state) {
    const cWaveform source = Tone(1 << 20);
    cWaveform main = Tone(16384);
    Screen screen;
    screen.settings.fftSize = 16384;
    int64_t position = 0;
    for (auto _ : state) {
        cWaveform segment(source, static_cast<int>(position), 16384);
        main.I.swap(segment.I);
        main.Q.swap(segment.Q);
        screen.Show(main);
        position = (position + 8192) % (source.sampleCount - 16384);
    }
}
BENCHMARK(BM_PlayThroughWork)->Unit(benchmark::kMillisecond);

void BM_MonitorLatency(benchmark::State& state) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("workers_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "capture_30.72MSPS.bin").string();
    cWaveform file = Tone(65536);
    file.SaveFile(path);
    cWaveform main = Tone(65536);
    Screen screen;
    std::mutex lock, doneLock;
    std::condition_variable doneSignal;
    bool shown = false;
    WorkerLink link;
    link.waveLock = &lock;
    link.recompute = [&] {
        screen.Show(main);
        std::lock_guard g(doneLock);
        shown = true;
        doneSignal.notify_one();
    };
    std::atomic<bool> stop{false};
    std::atomic<int> mode{kMonitorReload};
    std::thread monitor([&] { RunFileMonitor(main, path, mode, link, stop); });
    std::vector<double> latencies;
    for (auto _ : state) {
        {
            std::lock_guard g(doneLock);
            shown = false;
        }
        const auto t0 = Clock::now();
        file.SaveFile(path);
        std::unique_lock g(doneLock);
        doneSignal.wait(g, [&] { return shown; });
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        latencies.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    stop = true;
    monitor.join();
    std::filesystem::remove_all(dir);
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_ms"] = 1000 * latencies[latencies.size() / 2];
}
BENCHMARK(BM_MonitorLatency)->Unit(benchmark::kMillisecond)->Iterations(100)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
