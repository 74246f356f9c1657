// Averaged spectrum recompute of 2^26 complex samples (Blackman-Harris) at N = 16384 and
// N = 524288. bench/trace_numpy.py times the same computation in numpy for the ratio.

#include <benchmark/benchmark.h>

#include <atomic>
#include <random>

#include "spectrum/trace_recompute.h"
#include "waveform/waveform.h"

namespace {

const cWaveform& Capture() {
    static const cWaveform* wave = [] {
        auto* w = new cWaveform;
        const int n = 1 << 26;
        w->AllocateScratch(n);
        std::mt19937 rng(7);
        std::normal_distribution<float> g(0.0f, 0.05f);
        for (int k = 0; k < n; ++k) {
            w->scratchI[k] = g(rng);
            w->scratchQ[k] = g(rng);
        }
        w->SwapScratch();
        w->sampleRate = 122'880'000;
        return w;
    }();
    return *wave;
}

void BM_AveragedRecompute(benchmark::State& state) {
    const cWaveform& w = Capture();
    SpectrumSettings s;
    s.fftSize = static_cast<int>(state.range(0));
    s.window = kWindowBlackmanHarris;
    cSpectrumTrace trace;
    cSpectrumRecompute rc;
    std::atomic<bool> stop{false};
    for (auto _ : state) {
        rc.recomputeNeeded = true;
        rc.Recompute(trace, w, s, stop, {}, 0);
        benchmark::DoNotOptimize(trace.power.data());
    }
    state.counters["frames"] = trace.averageCount;
}

BENCHMARK(BM_AveragedRecompute)
    ->Arg(16384)
    ->Arg(524288)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
