// Scale, frequency shift and DC removal of 100,000,000 samples. bench/modifiers_numpy.py times
// the same operations on float32 arrays in numpy for the ratio.

#include <benchmark/benchmark.h>

#include <random>

#include "tools/modifier_ops.h"
#include "tools/shift_ops.h"
#include "waveform/waveform.h"

namespace {

constexpr int kSamples = 100'000'000;

cWaveform& Capture() {
    static cWaveform* wave = [] {
        auto* w = new cWaveform;
        w->AllocateScratch(kSamples);
        std::mt19937 rng(7);
        std::normal_distribution<float> g(0.1f, 0.05f);
        for (int k = 0; k < kSamples; ++k) {
            w->scratchI[k] = g(rng);
            w->scratchQ[k] = g(rng);
        }
        w->SwapScratch();
        w->sampleRate = 122'880'000;
        return w;
    }();
    return *wave;
}

// Each operation builds its result in the scratch arrays. With fresh = 1 they are released
// before every run (untimed), so the run also pays for mapping new pages, as a tool's first
// run on a waveform does; with 0 the arrays the previous run left are reused.
void ReleaseScratch(benchmark::State& state, cWaveform& w) {
    if (state.range(0) == 0) return;
    state.PauseTiming();
    w.AllocateScratch(0);
    state.ResumeTiming();
}

void BM_Scale(benchmark::State& state) {
    cWaveform& w = Capture();
    const ToolContext ctx;
    bool up = false;
    for (auto _ : state) {
        ReleaseScratch(state, w);
        ScaleSamples(w, up ? 2.0f : 0.5f, ctx);  // powers of two: the data do not drift
        up = !up;
        benchmark::DoNotOptimize(w.I.data());
    }
}

void BM_FrequencyShift(benchmark::State& state) {
    cWaveform& w = Capture();
    const ToolContext ctx;
    for (auto _ : state) {
        ReleaseScratch(state, w);
        FrequencyShift(w, 1.7e6 / 122.88e6, ctx);
        benchmark::DoNotOptimize(w.I.data());
    }
}

void BM_RemoveDc(benchmark::State& state) {
    cWaveform& w = Capture();
    const ToolContext ctx;
    for (auto _ : state) {
        ReleaseScratch(state, w);
        RemoveDc(w, ctx);
        benchmark::DoNotOptimize(w.I.data());
    }
}

BENCHMARK(BM_Scale)->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FrequencyShift)
    ->ArgName("fresh")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_RemoveDc)
    ->ArgName("fresh")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
