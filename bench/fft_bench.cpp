// ComplexFFT against FFTW single precision (FFTW_MEASURE, in place). Each iteration copies the
// same random input into the work buffer and transforms it, for both, so values never grow.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstring>
#include <random>
#include <vector>

#include "dsp/fft.h"

namespace {

std::vector<float> Input(int64_t n) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> v(static_cast<size_t>(2 * n));
    for (auto& x : v)
        x = u(rng);
    return v;
}

void BM_Ours(benchmark::State& state) {
    const int64_t n = int64_t{1} << state.range(0);
    const std::vector<float> input = Input(n);
    float* buf =
        static_cast<float*>(fftwf_malloc(sizeof(float) * 2 * n));  // same alignment as FFTW's
    for (auto _ : state) {
        std::memcpy(buf, input.data(), sizeof(float) * 2 * n);
        ComplexFFT(buf, n, -1);
        benchmark::DoNotOptimize(buf);
        benchmark::ClobberMemory();
    }
    fftwf_free(buf);
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Fftw(benchmark::State& state) {
    const int64_t n = int64_t{1} << state.range(0);
    const std::vector<float> input = Input(n);
    auto* buf = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * n));
    fftwf_plan plan = fftwf_plan_dft_1d(static_cast<int>(n), buf, buf, FFTW_FORWARD, FFTW_MEASURE);
    for (auto _ : state) {
        std::memcpy(buf, input.data(), sizeof(float) * 2 * n);
        fftwf_execute(plan);
        benchmark::DoNotOptimize(buf);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(buf);
    state.SetItemsProcessed(state.iterations() * n);
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int log2n : {10, 16, 20, 24})
        b->Arg(log2n);
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Ours)->Apply(Sizes);
BENCHMARK(BM_Fftw)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
