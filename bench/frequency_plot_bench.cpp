// Drawing a full 524,289-point spectrum into a 1600 x 1000 image with the panels of every
// measurement that does not exclude another (SNR, SFDR with its spur search, two-tone IMD).

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <complex>
#include <random>

#include "display/frequency_plot.h"
#include "display/plot_engine.h"
#include "spectrum/trace_recompute.h"
#include "waveform/waveform.h"

namespace {

void BM_DrawSpectrum512k(benchmark::State& state) {
    const int N = 524288;
    const int64_t fs = 122'880'000;
    cWaveform w;
    w.AllocateScratch(N);
    std::mt19937 rng(1);
    std::normal_distribution<float> g(0.0f, 1e-3f);
    for (int k = 0; k < N; ++k) {
        const std::complex<double> x =
            std::polar(0.3, 2 * M_PI * 10e6 * k / fs) + std::polar(0.3, 2 * M_PI * 12e6 * k / fs);
        const std::complex<double> y = x - 0.05 * std::norm(x) * x;
        w.scratchI[k] = static_cast<float>(y.real()) + g(rng);
        w.scratchQ[k] = static_cast<float>(y.imag()) + g(rng);
    }
    w.SwapScratch();
    w.sampleRate = fs;
    cPlotEngine engine;
    engine.measurements.settings.sfdrOn = true;
    engine.measurements.settings.imdOn = true;
    cSpectrumRecompute rc;
    SpectrumSettings s;
    s.fftSize = N;
    std::atomic<bool> stop{false};
    RecomputeHooks hooks;
    hooks.measure = [&] { engine.Measure(); };
    rc.Recompute(engine.trace, w, s, stop, hooks, 0);
    QImage image(1600, 1000, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&image);
        MeasureAndDrawSpectrum(engine, p, 1600, 1000, -fs / 2.0, fs / 2.0);
    }
    state.counters["panel_lines"] =
        static_cast<double>(engine.rightPanel.size() + engine.leftPanel.size());
}

BENCHMARK(BM_DrawSpectrum512k)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
