// The FFT low-pass of 2^24 samples and crest factor reduction to 8 dB of 2^22 samples, each run
// as qrvn edit and the window run them (the dispatcher, answers from a step).
// bench/filters_numpy.py times the low-pass in numpy (fft, mask multiply, ifft) for the ratio.

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>

#include "dsp/fft.h"
#include "tools/nonlinear_ops.h"
#include "tools/tool_dispatch.h"
#include "tools/tool_step.h"
#include "waveform/waveform.h"

namespace {

constexpr int64_t kRate = 61'440'000;

cWaveform Noise(int n) {
    cWaveform w;
    w.AllocateScratch(n);
    std::mt19937 rng(7);
    std::normal_distribution<float> g(0.0f, 0.05f);
    for (int k = 0; k < n; ++k) {
        w.scratchI[k] = g(rng);
        w.scratchQ[k] = g(rng);
    }
    w.SwapScratch();
    w.sampleRate = kRate;
    return w;
}

// Eight 64QAM carriers of 1.92 Msymbol/s, 2.5 MHz apart, raised-cosine shaped (roll-off 0.22):
// a 20 MHz block whose PAR is near 10.5 dB at this length, scaled to -20 dBFS.
cWaveform MultiCarrierQam(int n) {
    const double df = static_cast<double>(kRate) / n, rs = 1.92e6;
    std::vector<float> block(2 * static_cast<size_t>(n), 0.0f), x(2 * static_cast<size_t>(n));
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> level(0, 7);
    for (int carrier = 0; carrier < 8; ++carrier) {
        std::fill(x.begin(), x.end(), 0.0f);
        for (int k = 0; k < n; k += 32) {
            x[2 * size_t(k)] = static_cast<float>(2 * level(rng) - 7);
            x[2 * size_t(k) + 1] = static_cast<float>(2 * level(rng) - 7);
        }
        ComplexFFT(x.data(), n, -1);
        const auto shift = static_cast<int>(std::lround((-8.75e6 + 2.5e6 * carrier) / df));
        for (int b = 0; b < n; ++b) {
            const double f = std::fabs((b < n / 2 ? b : b - n) * df);
            const double f1 = 0.78 * rs / 2, f2 = 1.22 * rs / 2;
            const double g = f <= f1 ? 1
                             : f >= f2
                                 ? 0
                                 : 0.5 * (1 + std::cos(std::numbers::pi / (0.22 * rs) * (f - f1)));
            const size_t to = static_cast<size_t>((b + shift + n) % n);
            block[2 * to] += static_cast<float>(g * x[2 * size_t(b)]);
            block[2 * to + 1] += static_cast<float>(g * x[2 * size_t(b) + 1]);
        }
    }
    ComplexFFT(block.data(), n, +1);
    double mean = 0;
    for (float v : block)
        mean += double(v) * v / n;
    const auto scale = static_cast<float>(0.1 / std::sqrt(mean));
    cWaveform w;
    w.AllocateScratch(n);
    for (int k = 0; k < n; ++k) {
        w.scratchI[k] = block[2 * size_t(k)] * scale;
        w.scratchQ[k] = block[2 * size_t(k) + 1] * scale;
    }
    w.SwapScratch();
    w.sampleRate = kRate;
    return w;
}

// Runs the step on a fresh copy of input each time (the copy untimed).
void RunStep(benchmark::State& state, const cWaveform& input, const std::string& text) {
    ToolStep step;
    if (!ParseToolStep(text, step).empty()) {
        state.SkipWithError("bad step");
        return;
    }
    cStepInput answers(step);
    ToolContext ctx;
    ctx.input = &answers;
    for (auto _ : state) {
        state.PauseTiming();
        cWaveform w(input);
        state.ResumeTiming();
        if (RunTool(*step.tool, ctx, w, {}) != kToolOk) {
            state.SkipWithError("the tool failed");
            return;
        }
        benchmark::DoNotOptimize(w.I.data());
        if (!ctx.results.empty()) {
            state.counters["passes"] = ctx.results[ctx.results.size() - 2].second;
            state.counters["par_in_db"] = PowerStats(input).ParDb();
            state.counters["par_out_db"] = ctx.results.back().second;
        }
    }
}

void BM_FftLowPass(benchmark::State& state) {
    static const cWaveform input = Noise(1 << 24);
    RunStep(state, input, "low-pass:FFT_LPF1=10,FFT_LPF2=2");
}

void BM_Cfr8dB(benchmark::State& state) {
    static const cWaveform input = MultiCarrierQam(1 << 22);
    RunStep(state, input, "cfr:CFRPAR=8");
}

// One run per repetition; the summary takes the median.
BENCHMARK(BM_FftLowPass)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_Cfr8dB)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
