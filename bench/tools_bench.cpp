// The generator tools on 100,000,000 samples, run as qrvn edit and the window run them (the
// dispatcher, answers from a step): Gaussian noise, and a single tone, which
// bench/tools_numpy.py times as a float32 numpy one-liner for the ratio.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "tools/tool_dispatch.h"
#include "tools/tool_step.h"
#include "waveform/waveform.h"

namespace {

constexpr int kSamples = 100'000'000;

// Zeros, every page touched, so the first run pays no more than the others.
cWaveform& Capture() {
    static cWaveform* wave = [] {
        auto* w = new cWaveform;
        w->AllocateScratch(kSamples);
        std::memset(w->scratchI.data(), 0, sizeof(float) * kSamples);
        std::memset(w->scratchQ.data(), 0, sizeof(float) * kSamples);
        w->SwapScratch();
        w->sampleRate = 122'880'000;
        return w;
    }();
    return *wave;
}

void RunStep(benchmark::State& state, const std::string& text) {
    cWaveform& w = Capture();
    ToolStep step;
    if (!ParseToolStep(text, step).empty()) {
        state.SkipWithError("bad step");
        return;
    }
    cStepInput input(step);
    ToolContext ctx;
    ctx.input = &input;
    ctx.seed = [] { return -1; };
    for (auto _ : state) {
        if (RunTool(*step.tool, ctx, w, {}) != kToolOk) {
            state.SkipWithError("the tool failed");
            return;
        }
        benchmark::DoNotOptimize(w.I.data());
    }
    state.counters["Msamples_per_s"] = benchmark::Counter(
        static_cast<double>(kSamples) * static_cast<double>(state.iterations()) / 1e6,
        benchmark::Counter::kIsRate);
}

void BM_AddNoise(benchmark::State& state) { RunStep(state, "noise:AddNoise=-20"); }
void BM_AddTone(benchmark::State& state) {
    RunStep(state, "tone:AddToneMHz=3.3,AddTonedBFS=-6,AddTonePhase=30");
}

BENCHMARK(BM_AddNoise)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AddTone)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
