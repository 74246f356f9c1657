// Drawing the time-domain and CCDF views of long captures into 1600 x 1000: the first draw
// (statistics scanned) and a redraw of the unchanged view, against one plain pass over the
// same samples, which bounds what any first draw can cost; and a redraw with a hundred thousand
// annotations against the same without.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>

#include "display/annotation_overlay.h"
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

// A redraw of the I/Q time view with a recording's annotations over it: range(0) annotations,
// one every 10 samples of the 10 million; range(1) samples shown (from the start). Against
// the same redraw without any (range(0) = 0).
void BM_ViewAnnotated(benchmark::State& state) {
    const cWaveform& w = Wave10M();
    std::vector<SigmfAnnotation> notes(static_cast<size_t>(state.range(0)));
    for (size_t k = 0; k < notes.size(); ++k)
        notes[k] = {static_cast<int64_t>(10 * k), 5, {}, {}, "n" + std::to_string(k), "", ""};
    const int shown = static_cast<int>(state.range(1));
    cPlotEngine engine;
    QImage image(kW, kH, QImage::Format_RGB32);
    Draw(engine, image, w, kIq, 0, shown - 1);
    for (auto _ : state) {
        Draw(engine, image, w, kIq, 0, shown - 1);
        QPainter p(&image);
        AnnotationPlace place;
        place.area = QRect(80, 20, kW - 100, kH - 70);
        place.sampleCount = shown;
        benchmark::DoNotOptimize(DrawAnnotationSpans(p, notes, place));
    }
}

// The spectrogram's boxes alone, a hundred thousand annotations with bands (one every 10
// samples) over range(0) samples shown, drawn into 1600 x 1000.
void BM_AnnotationBoxes(benchmark::State& state) {
    std::vector<SigmfAnnotation> notes(100'000);
    for (size_t k = 0; k < notes.size(); ++k)
        notes[k] = {static_cast<int64_t>(10 * k),
                    5,
                    -1e5 + static_cast<double>(k % 7) * 2e4,
                    1e5,
                    "n" + std::to_string(k),
                    "",
                    ""};
    QImage image(kW, kH, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&image);
        AnnotationPlace place;
        place.area = QRect(80, 20, kW - 200, kH - 70);
        place.sampleCount = static_cast<double>(state.range(0));
        place.fStart = -5e5;
        place.fEnd = 5e5;
        benchmark::DoNotOptimize(DrawAnnotationBoxes(p, notes, place));
    }
}

BENCHMARK(BM_PlainPass)->Arg(100)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnnotationBoxes)->Arg(1'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewAnnotated)
    ->ArgNames({"annotations", "shown"})
    ->Args({0, 1'000})
    ->Args({100'000, 1'000})
    ->Args({0, 1'000'000})
    ->Args({100'000, 1'000'000})
    ->Unit(benchmark::kMillisecond);
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
