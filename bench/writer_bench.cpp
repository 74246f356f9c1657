// Saving 125,000,000 samples as type 405 (binary) and type 401 (text); MB/s of file written,
// including the final sync to disk that makes the save safe.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "waveform/waveform.h"

namespace {

cWaveform& Wave() {
    static cWaveform* w = [] {
        auto* wave = new cWaveform;
        const int n = 125'000'000;
        wave->AllocateScratch(n);
        std::mt19937 rng(3);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (int k = 0; k < n; ++k) {
            wave->scratchI[k] = u(rng);
            wave->scratchQ[k] = u(rng);
        }
        wave->SwapScratch();
        return wave;
    }();
    return *w;
}

void BM_Save(benchmark::State& state) {
    cWaveform& w = Wave();
    w.fileType = static_cast<int>(state.range(0));
    const std::string path =
        (std::filesystem::temp_directory_path() / "qrvn_bench_save.bin").string();
    uintmax_t bytes = 0;
    for (auto _ : state) {
        if (w.SaveFile(path) != 1) state.SkipWithError("save failed");
        bytes = std::filesystem::file_size(path);
    }
    std::filesystem::remove(path);
    state.counters["MB_per_s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}

BENCHMARK(BM_Save)->Arg(405)->Arg(401)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
