// Modulation analysis of 2^20 64QAM symbols (root raised cosine 0.22, four samples a symbol,
// about 41 dB SNR after the filter): the blind analysis qrvn measure --modulation runs, and the EVM
// against a reference of the same samples delayed. bench/modulation_numpy.py does the same steps in
// numpy for the ratio.

#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/fft.h"
#include "measure/modulation.h"

namespace {

constexpr int kSamples = 1 << 22;
constexpr double kRate = 4e6, kSymbolRate = 1e6;

struct Signal {
    std::vector<float> I, Q;
};

// Symbols every fourth sample, shaped in the frequency domain by the root raised cosine's
// response (circularly), with complex white noise 35 dB below the symbols after the filter.
const Signal& Shaped() {
    static const Signal s = [] {
        std::vector<float> x(2 * size_t{kSamples}, 0.0f);
        std::mt19937 g(11);
        std::uniform_int_distribution<int> level(0, 7);
        for (size_t k = 0; k < kSamples; k += 4) {
            x[2 * k] = static_cast<float>(2 * level(g) - 7);
            x[2 * k + 1] = static_cast<float>(2 * level(g) - 7);
        }
        ComplexFFT(x.data(), kSamples, -1);
        const double beta = 0.22;
        for (size_t b = 0; b < kSamples; ++b) {
            const double f =
                std::abs((b < kSamples / 2 ? double(b) : double(b) - kSamples) / kSamples * 4);
            const double f1 = (1 - beta) / 2, f2 = (1 + beta) / 2;
            const double h =
                f <= f1   ? 1
                : f >= f2 ? 0
                          : std::sqrt(0.5 * (1 + std::cos(std::numbers::pi / beta * (f - f1))));
            x[2 * b] *= static_cast<float>(h / kSamples);
            x[2 * b + 1] *= static_cast<float>(h / kSamples);
        }
        ComplexFFT(x.data(), kSamples, +1);
        Signal out;
        double power = 0;
        for (size_t k = 0; k < kSamples; ++k)
            power += double(x[2 * k]) * x[2 * k] + double(x[2 * k + 1]) * x[2 * k + 1];
        // 35 dB below the samples' power: about 41 dB below the symbols after the filter.
        const double sigma = std::sqrt(power / kSamples * std::pow(10.0, -3.5) / 2);
        std::normal_distribution<float> noise(0.0f, static_cast<float>(sigma));
        for (size_t k = 0; k < kSamples; ++k) {
            out.I.push_back(x[2 * k] + noise(g));
            out.Q.push_back(x[2 * k + 1] + noise(g));
        }
        return out;
    }();
    return s;
}

void BM_AnalyseModulation(benchmark::State& state) {
    const Signal& s = Shaped();
    const ModulationSettings settings{Modulation::Qam64, kSymbolRate, PulseShape::RootRaisedCosine,
                                      0.22, false};
    ModulationResult r;
    for (auto _ : state) {
        const std::string why =
            AnalyseModulation(s.I.data(), s.Q.data(), kSamples, kRate, settings, r, {});
        if (!why.empty()) state.SkipWithError(why.c_str());
    }
    state.counters["symbols"] = static_cast<double>(r.symbols);
    state.counters["evm_db"] = r.evmRmsDb;
}
BENCHMARK(BM_AnalyseModulation)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_EvmAgainstReference(benchmark::State& state) {
    const Signal& s = Shaped();
    const int64_t delay = 5;
    ReferenceEvmResult r;
    for (auto _ : state) {
        const std::string why =
            MeasureEvmAgainstReference(s.I.data() + delay, s.Q.data() + delay, kSamples - delay,
                                       s.I.data(), s.Q.data(), kSamples, kRate, r, {});
        if (!why.empty()) state.SkipWithError(why.c_str());
    }
    state.counters["evm_db"] = r.evmRmsDb;
}
BENCHMARK(BM_EvmAgainstReference)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
