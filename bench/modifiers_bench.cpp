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
// run on a waveform does; with 0 the arrays a previous run left are reused (the first run of
// the benchmark leaves them, untimed).
template <class Op>
void Run(benchmark::State& state, Op op) {
    cWaveform& w = Capture();
    const bool fresh = state.range(0) != 0;
    if (!fresh) op(w);
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            w.AllocateScratch(0);
            state.ResumeTiming();
        }
        op(w);
        benchmark::DoNotOptimize(w.I.data());
    }
}

void BM_Scale(benchmark::State& state) {
    const ToolContext ctx;
    bool up = false;
    Run(state, [&](cWaveform& w) {
        ScaleSamples(w, up ? 2.0f : 0.5f, ctx);  // powers of two: the data do not drift
        up = !up;
    });
}

void BM_FrequencyShift(benchmark::State& state) {
    const ToolContext ctx;
    Run(state, [&](cWaveform& w) { FrequencyShift(w, 1.7e6 / 122.88e6, ctx); });
}

void BM_RemoveDc(benchmark::State& state) {
    const ToolContext ctx;
    Run(state, [&](cWaveform& w) { RemoveDc(w, ctx); });
}

// One run per repetition, so the summary takes the median of seven single runs.
void Options(benchmark::internal::Benchmark* b) {
    b->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
    b->Repetitions(7);
}
BENCHMARK(BM_Scale)->Apply(Options);
BENCHMARK(BM_FrequencyShift)->Apply(Options);
BENCHMARK(BM_RemoveDc)->Apply(Options);

}  // namespace

BENCHMARK_MAIN();
