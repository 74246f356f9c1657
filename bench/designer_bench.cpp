// The FIR designer: one Parks-McClellan design of 255 taps, and what a slider move costs in
// the window (design, taps into the waveform, spectrum recompute and drawing at 1600 x 1000).

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "display/frequency_plot.h"
#include "display/plot_engine.h"
#include "dsp/remez.h"
#include "spectrum/trace_recompute.h"
#include "waveform/waveform.h"

namespace {

const std::vector<RemezBand> kBands = {{0.0, 0.1, 1.0, 10.0}, {0.125, 0.5, 0.0, 1.0}};

void BM_Remez(benchmark::State& state) {
    const int taps = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(RemezDesign(taps, kBands).taps.data());
}
BENCHMARK(BM_Remez)->Arg(127)->Arg(255)->Unit(benchmark::kMillisecond);

void BM_SliderMove(benchmark::State& state) {
    const int taps = static_cast<int>(state.range(0));
    cWaveform wave;
    cPlotEngine engine;
    cSpectrumRecompute recompute;
    SpectrumSettings settings;
    std::atomic<bool> stop{false};
    QImage image(1600, 1000, QImage::Format_RGB32);
    for (auto _ : state) {
        const RemezResult r = RemezDesign(taps, kBands);
        wave.AllocateScratch(taps);
        for (int i = 0; i < taps; ++i)
            wave.scratchI[i] = wave.scratchQ[i] = static_cast<float>(r.taps[i]);
        wave.SwapScratch();
        recompute.recomputeNeeded = true;
        RecomputeHooks hooks;
        hooks.spectrumKind = [] { return kSpectrumIQ; };
        hooks.measure = [&] { engine.Measure(); };
        recompute.Recompute(engine.trace, wave, settings, stop, hooks, 0);
        QPainter p(&image);
        const double fs = static_cast<double>(wave.sampleRate);
        MeasureAndDrawSpectrum(engine, p, 1600, 1000, -fs / 2, fs / 2);
    }
}
BENCHMARK(BM_SliderMove)->Arg(127)->Arg(255)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
