// ComplexFFT against FFTW single precision (FFTW_MEASURE, in place). Each iteration copies the
// same random input into the work buffer and transforms it, for both, so values never grow.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstring>
#include <random>
#include <vector>

#include "dsp/batch_fft.h"
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

// Batch throughput at the short sizes a spectrogram uses: 64 transforms back to back.
constexpr int kBatch = 64;

// The spectrogram's transform: eight frames a batch, each loaded (bit-reversed into its lane)
// from separate I and Q arrays, as the rows load them.
void BM_OursBatch(benchmark::State& state) {
    const int n = 1 << state.range(0);
    const std::vector<float> I = Input(int64_t{n} * kBatch / 2), Q = Input(int64_t{n} * kBatch / 2);
    cBatchFft fft(n);
    for (auto _ : state) {
        for (int b = 0; b < kBatch; b += cBatchFft::kLanes) {
            for (int lane = 0; lane < cBatchFft::kLanes; ++lane) {
                const size_t at = size_t(b + lane) * n;
                fft.Load(lane, I.data() + at, Q.data() + at, nullptr, n);
            }
            fft.Run();
        }
        benchmark::DoNotOptimize(fft.Re(0, 1));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n * kBatch);
}

void BM_FftwBatch(benchmark::State& state) {
    const int n = 1 << state.range(0);
    const std::vector<float> input = Input(int64_t{n} * kBatch);
    auto* buf = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * n * kBatch));
    fftwf_plan plan = fftwf_plan_many_dft(1, &n, kBatch, buf, nullptr, 1, n, buf, nullptr, 1, n,
                                          FFTW_FORWARD, FFTW_MEASURE);
    for (auto _ : state) {
        std::memcpy(buf, input.data(), sizeof(float) * 2 * n * kBatch);
        fftwf_execute(plan);
        benchmark::DoNotOptimize(buf);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(buf);
    state.SetItemsProcessed(state.iterations() * n * kBatch);
}

void BatchSizes(benchmark::internal::Benchmark* b) {
    for (int log2n : {8, 10, 12})
        b->Arg(log2n);
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_OursBatch)->Apply(BatchSizes);
BENCHMARK(BM_FftwBatch)->Apply(BatchSizes);

void Sizes(benchmark::internal::Benchmark* b) {
    for (int log2n : {10, 16, 20, 24})
        b->Arg(log2n);
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Ours)->Apply(Sizes);
BENCHMARK(BM_Fftw)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
