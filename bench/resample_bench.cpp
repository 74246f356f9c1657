// FFT interpolation by 2 of 2^24 samples and FIR filtering with 255 taps of 10^7 samples, the
// operations of tools 532 and 40058. bench/resample_numpy.py times numpy doing the same (fft and
// ifft; the circular convolution through the FFT) for the ratio. Each run starts from a fresh
// copy of the input, copied outside the timing.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "tools/fir_ops.h"
#include "tools/resample_ops.h"
#include "waveform/waveform.h"

namespace {

// n Gaussian samples (σ 0.1 per channel), every page touched.
const cWaveform& Input(int n) {
    static std::vector<std::pair<int, cWaveform*>> made;
    for (const auto& [count, wave] : made)
        if (count == n) return *wave;
    auto* w = new cWaveform;
    w->AllocateScratch(n);
    std::mt19937 rng(7);
    std::normal_distribution<float> g(0.0f, 0.1f);
    for (int k = 0; k < n; ++k) {
        w->scratchI[k] = g(rng);
        w->scratchQ[k] = g(rng);
    }
    w->SwapScratch();
    w->sampleRate = 122'880'000;
    made.emplace_back(n, w);
    return *w;
}

template <class Op>
void Run(benchmark::State& state, int n, Op op) {
    const cWaveform& input = Input(n);
    cWaveform w;
    for (auto _ : state) {
        state.PauseTiming();
        w.CopyFrom(input);
        state.ResumeTiming();
        if (op(w) != kToolOk) {
            state.SkipWithError("the operation failed");
            return;
        }
        benchmark::DoNotOptimize(w.I.data());
    }
}

void BM_FftInterpolate2(benchmark::State& state) {
    const ToolContext ctx;
    Run(state, 1 << 24, [&](cWaveform& w) { return FftUpsample(w, 2, ctx); });
}

void BM_FirFile255(benchmark::State& state) {
    const ToolContext ctx;
    // Taps as the tool makes them from a file: a windowed sinc, largest tap 0.5.
    std::vector<float> h(255);
    for (int m = 0; m < 255; ++m) {
        const double t = m - 127, x = 0.2 * t;
        const double sinc =
            t == 0 ? 1.0 : std::sin(3.141592653589793 * x) / (3.141592653589793 * x);
        h[m] =
            static_cast<float>(0.5 * sinc * (0.54 + 0.46 * std::cos(3.141592653589793 * t / 128)));
    }
    Run(state, 10'000'000,
        [&](cWaveform& w) { return CircularFir(w, h, ctx) ? kToolOk : kErrStopped; });
}

// One run per repetition, so the summary takes the median of five single runs.
BENCHMARK(BM_FftInterpolate2)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_FirFile255)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
