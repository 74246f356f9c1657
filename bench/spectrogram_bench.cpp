// The spectrogram as the window draws it: a 1600 x 1000 redraw from cached tiles, a screen of
// tiles not computed yet (one frame per row, and 64 frames per row), and the first screen of
// a capture larger than a waveform holds (its first 500 MB, as the window opens it). The
// capture is the generated cf32 file of QRVN_BENCH_SPECTROGRAM_GB gibibytes (default 1), kept;
// bench/spectrogram_numpy.py times qrvn spectrogram and numpy's framed FFT on the same file.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "display/spectrogram_plot.h"
#include "generated_capture.h"
#include "waveform/capture_source.h"
#include "waveform/file_types.h"
#include "workers/spectrogram_tiles.h"

namespace {

constexpr int kW = 1600, kH = 1000;

int64_t CaptureBytes() {
    const char* gb = std::getenv("QRVN_BENCH_SPECTROGRAM_GB");
    return (gb ? std::atoll(gb) : 1) << 30;
}

// Noise with a tone, made once.
const std::string& Capture() {
    static const std::string path =
        GeneratedCapture("qrvn_bench_spectrogram_10MSPS.cf32", CaptureBytes(), [](auto& block) {
            std::mt19937 rng(1);
            for (size_t k = 0; k < block.size(); k += 2) {
                const double phase = 0.3 * static_cast<double>(k / 2);
                block[k] = static_cast<float>(rng() % 65536) / 262144.0f +
                           static_cast<float>(0.3 * std::cos(phase));
                block[k + 1] = static_cast<float>(rng() % 65536) / 262144.0f +
                               static_cast<float>(0.3 * std::sin(phase));
            }
        });
    return path;
}

struct Source {
    cCaptureSource capture;
    SampleReader read;
    Source() {
        capture.Open(Capture(), kFileCf32Le);
        // As the window reads a whole capture: small buffers, one per worker thread.
        read = [this](int64_t first, int64_t count, float* I, float* Q) {
            thread_local std::vector<uint8_t> buffer(size_t{1} << 20);
            return capture.ReadThrough(first, count, I, Q, buffer);
        };
    }
};

// Assembles the screen until every row is there.
void Complete(cSpectrogramTiles& tiles, double first, double step, SpectrogramScreen& screen) {
    const int rows = SpectrogramPlotArea(kW, kH).height();
    for (;;) {
        tiles.Assemble(first, step, rows, screen);
        if (screen.missingRows == 0) return;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// A redraw with every tile cached: assemble, levels, colours and axes into the picture.
void BM_RedrawFromCachedTiles(benchmark::State& state) {
    Source s;
    cSpectrogramTiles tiles;
    SpectrogramSettings settings;
    tiles.SetSource(s.read, s.capture.SampleCount(), settings);
    SpectrogramScreen screen;
    const double step = 4096;
    Complete(tiles, 0, step, screen);
    QImage image(kW, kH, QImage::Format_RGB32);
    for (auto _ : state) {
        tiles.Assemble(0, step, screen.rows, screen);
        SpectrogramDrawing d;
        d.screen = &screen;
        d.sampleRateHz = 10e6;
        d.fStart = -5e6;
        d.fEnd = 5e6;
        AutoSpectrogramLevels(screen.db, d.levelLo, d.levelHi);
        QPainter p(&image);
        DrawSpectrogram(p, kW, kH, d);
    }
}
BENCHMARK(BM_RedrawFromCachedTiles)->Unit(benchmark::kMillisecond);

// A screen no tile of which is computed: argument = frames per row (hop 512 at FFT 1024).
void BM_UncachedScreen(benchmark::State& state) {
    Source s;
    SpectrogramSettings settings;
    int64_t first = 0;
    for (auto _ : state) {
        cSpectrogramTiles tiles;
        tiles.SetSource(s.read, s.capture.SampleCount(), settings);
        SpectrogramScreen screen;
        Complete(tiles, static_cast<double>(first), 512.0 * static_cast<double>(state.range(0)),
                 screen);
        first += 1 << 22;  // another stretch each time
    }
}
BENCHMARK(BM_UncachedScreen)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window's first screen of a large capture: its working range, the first 500 MB.
void BM_FirstScreenOfWorkingRange(benchmark::State& state) {
    Source s;
    SpectrogramSettings settings;
    const int rows = SpectrogramPlotArea(kW, kH).height();
    const double samples =
        std::min<double>(500e6 / 8, static_cast<double>(s.capture.SampleCount()));
    for (auto _ : state) {
        cSpectrogramTiles tiles;
        tiles.SetSource(s.read, s.capture.SampleCount(), settings);
        SpectrogramScreen screen;
        Complete(tiles, 0, samples / rows, screen);
    }
}
BENCHMARK(BM_FirstScreenOfWorkingRange)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
