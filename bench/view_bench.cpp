// Drawing the time-domain and CCDF views of long captures into 1600 x 1000: the first draw
// (statistics scanned) and a redraw of the unchanged view, against one plain pass over the
// same samples, which bounds what any first draw can cost.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>

#include "display/ccdf_plot.h"
#include "display/plot_engine.h"
#include "display/time_plot.h"
#include "dsp/range_scan.h"
#include "waveform/waveform.h"

namespace {

constexpr int kW = 1600, kH = 1000;

// A tone in noise, made with a cheap generator: 100 million samples take a while otherwise.
std::unique_ptr<cWaveform> MakeWave(int n) {
    auto w = std::make_unique<cWaveform>();
    w->AllocateScratch(n);
    uint32_t x = 1;
    for (int k = 0; k < n; ++k) {
        x = x * 1664525u + 1013904223u;
        const float a = static_cast<float>(x >> 8) * (1.0f / 16777216.0f) - 0.5f;
        x = x * 1664525u + 1013904223u;
        const float b = static_cast<float>(x >> 8) * (1.0f / 16777216.0f) - 0.5f;
        w->scratchI[k] = 0.3f * std::cos(0.01f * static_cast<float>(k % 628)) + 0.1f * a;
        w->scratchQ[k] = 0.3f * std::sin(0.01f * static_cast<float>(k % 628)) + 0.1f * b;
    }
    w->SwapScratch();
    w->sampleRate = 100'000'000;
    return w;
}

const cWaveform& Wave100M() {
    static const std::unique_ptr<cWaveform> w = MakeWave(100'000'000);
    return *w;
}
const cWaveform& Wave10M() {
    static const std::unique_ptr<cWaveform> w = MakeWave(10'000'000);
    return *w;
}

enum Kind { kIq, kLogMag, kCcdf };

void Draw(cPlotEngine& e, QImage& image, const cWaveform& w, Kind kind, int start, int end) {
    QPainter p(&image);
    if (kind == kIq) DrawLinear(e, p, kW, kH, start, end, w, kLinearIQ);
    if (kind == kLogMag) DrawLogMag(e, p, kW, kH, start, end, w);
    if (kind == kCcdf) DrawCcdf(e, p, kW, kH, start, end, w);
}

// state.range(0): kind; range(1): 1 = first draw (kept statistics dropped), 0 = redraw;
// range(2): displayed samples (from the middle of the capture); range(3): capture length in
// millions.
void BM_View(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    const bool first = state.range(1) != 0;
    const cWaveform& w = state.range(3) == 100 ? Wave100M() : Wave10M();
    const int shown = static_cast<int>(state.range(2));
    const int start = (w.sampleCount - shown) / 2, end = start + shown - 1;
    cPlotEngine engine;
    QImage image(kW, kH, QImage::Format_RGB32);
    Draw(engine, image, w, kind, start, end);
    for (auto _ : state) {
        if (first) engine.WaveformChanged();
        Draw(engine, image, w, kind, start, end);
    }
}

// One vectorised pass over all samples of the capture: the memory traffic of a statistics
// scan.
void BM_PlainPass(benchmark::State& state) {
    const cWaveform& w = state.range(0) == 100 ? Wave100M() : Wave10M();
    for (auto _ : state) {
        double s = Sum(w.I.data(), 0, w.sampleCount) + Sum(w.Q.data(), 0, w.sampleCount);
        benchmark::DoNotOptimize(s);
    }
}

BENCHMARK(BM_PlainPass)->Arg(100)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View)
    ->ArgNames({"kind", "first", "shown", "capture_M"})
    ->Args({kIq, 1, 100'000'000, 100})
    ->Args({kIq, 0, 100'000'000, 100})
    ->Args({kLogMag, 1, 100'000'000, 100})
    ->Args({kLogMag, 0, 100'000'000, 100})
    ->Args({kIq, 1, 1'000'000, 100})
    ->Args({kLogMag, 1, 1'000'000, 100})
    ->Args({kCcdf, 1, 10'000'000, 10})
    ->Args({kCcdf, 0, 10'000'000, 10})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
