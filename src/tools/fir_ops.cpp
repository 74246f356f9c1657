#include "tools/fir_ops.h"

#include <algorithm>
#include <cmath>

#include "tools/result_build.h"
#include "tools/second_file.h"
#include "waveform/file_messages.h"
#include "waveform/waveform.h"

#if defined(__x86_64__) && defined(__GNUC__)
// GCC 12 reports its own _mm512_undefined_* helpers as maybe-uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#define QRVN_FIR_AVX512 1
#define QRVN_AVX512_TARGET __attribute__((target("avx512f")))
#endif

namespace {

// Outputs whose inputs are widened to double together: the block's inputs (kBlock + M − 1)
// stay in the first-level cache while every tap passes over them.
constexpr int64_t kBlock = 1024;
// Outputs summed side by side: eight vectors of eight doubles.
constexpr int64_t kGroup = 64;
// Outputs per chunk of the chunk loop: about 10 ms of work at 499 taps, so progress moves and
// a stop request is seen within that.
constexpr int64_t kFirChunk = int64_t{1} << 16;

// The taps in the order the sums take them: g[j] = h[M − 1 − j], in double.
std::vector<double> SumOrderTaps(const std::vector<float>& h) {
    return std::vector<double>(h.rbegin(), h.rend());
}

// out[i] = Σ_j g[j]·d[i + j] for i < count, j < m, summed in rising j.
void DotRunsPortable(const double* d, const double* g, int64_t m, int64_t count, float* out) {
    int64_t i = 0;
    for (; i + kGroup <= count; i += kGroup) {
        double acc[kGroup] = {};
        for (int64_t j = 0; j < m; ++j) {
            const double gj = g[j];
            const double* x = d + i + j;
            for (int64_t v = 0; v < kGroup; ++v)
                acc[v] += gj * x[v];
        }
        for (int64_t v = 0; v < kGroup; ++v)
            out[i + v] = static_cast<float>(acc[v]);
    }
    for (; i < count; ++i) {
        double acc = 0;
        for (int64_t j = 0; j < m; ++j)
            acc += g[j] * d[i + j];
        out[i] = static_cast<float>(acc);
    }
}

#if QRVN_FIR_AVX512
bool HaveAvx512() {
    static const bool have = __builtin_cpu_supports("avx512f");
    return have;
}

// DotRunsPortable with each lane doing its operations: a product and a separate add (no fused
// multiply-add), so the bits are the same.
QRVN_AVX512_TARGET void DotRunsAvx512(const double* d, const double* g, int64_t m, int64_t count,
                                      float* out) {
    int64_t i = 0;
    for (; i + kGroup <= count; i += kGroup) {
        __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
                a7 = a0;
        for (int64_t j = 0; j < m; ++j) {
            const __m512d gj = _mm512_set1_pd(g[j]);
            const double* x = d + i + j;
            a0 = _mm512_add_pd(a0, _mm512_mul_pd(gj, _mm512_loadu_pd(x)));
            a1 = _mm512_add_pd(a1, _mm512_mul_pd(gj, _mm512_loadu_pd(x + 8)));
            a2 = _mm512_add_pd(a2, _mm512_mul_pd(gj, _mm512_loadu_pd(x + 16)));
            a3 = _mm512_add_pd(a3, _mm512_mul_pd(gj, _mm512_loadu_pd(x + 24)));
            a4 = _mm512_add_pd(a4, _mm512_mul_pd(gj, _mm512_loadu_pd(x + 32)));
            a5 = _mm512_add_pd(a5, _mm512_mul_pd(gj, _mm512_loadu_pd(x + 40)));
            a6 = _mm512_add_pd(a6, _mm512_mul_pd(gj, _mm512_loadu_pd(x + 48)));
            a7 = _mm512_add_pd(a7, _mm512_mul_pd(gj, _mm512_loadu_pd(x + 56)));
        }
        float* o = out + i;
        _mm256_storeu_ps(o, _mm512_cvtpd_ps(a0));
        _mm256_storeu_ps(o + 8, _mm512_cvtpd_ps(a1));
        _mm256_storeu_ps(o + 16, _mm512_cvtpd_ps(a2));
        _mm256_storeu_ps(o + 24, _mm512_cvtpd_ps(a3));
        _mm256_storeu_ps(o + 32, _mm512_cvtpd_ps(a4));
        _mm256_storeu_ps(o + 40, _mm512_cvtpd_ps(a5));
        _mm256_storeu_ps(o + 48, _mm512_cvtpd_ps(a6));
        _mm256_storeu_ps(o + 56, _mm512_cvtpd_ps(a7));
    }
    if (i < count) DotRunsPortable(d + i, g, m, count - i, out + i);
}
#else
bool HaveAvx512() { return false; }
void DotRunsAvx512(const double* d, const double* g, int64_t m, int64_t count, float* out) {
    DotRunsPortable(d, g, m, count, out);
}
#endif

// One output whose inputs wrap around an end: the same sum with indices taken mod n.
float WrappedOutput(const float* x, int64_t n, const double* g, int64_t m, int64_t first) {
    double acc = 0;
    for (int64_t j = 0; j < m; ++j) {
        int64_t t = (first + j) % n;
        if (t < 0) t += n;
        acc += g[j] * static_cast<double>(x[t]);
    }
    return static_cast<float>(acc);
}

void FilterWithOrderedTaps(const float* x, int64_t n, const std::vector<double>& g, float* out,
                           int64_t b, int64_t e, bool vectorised) {
    const auto m = static_cast<int64_t>(g.size());
    // Output k sums inputs k − left .. k − left + m − 1; those with all of them inside the
    // waveform, [left, n − half), need no wrapping.
    const int64_t half = m / 2, left = m - 1 - half;
    const int64_t lo = std::clamp(left, b, e), hi = std::clamp(n - half, lo, e);
    for (int64_t k = b; k < lo; ++k)
        out[k] = WrappedOutput(x, n, g.data(), m, k - left);
    const auto dot = vectorised && HaveAvx512() ? DotRunsAvx512 : DotRunsPortable;
    std::vector<double> d(static_cast<size_t>(std::min(kBlock, hi - lo) + m - 1));
    for (int64_t s = lo; s < hi; s += kBlock) {
        const int64_t count = std::min(kBlock, hi - s);
        const float* from = x + (s - left);
        for (int64_t t = 0; t < count + m - 1; ++t)
            d[static_cast<size_t>(t)] = from[t];
        dot(d.data(), g.data(), m, count, out + s);
    }
    for (int64_t k = hi; k < e; ++k)
        out[k] = WrappedOutput(x, n, g.data(), m, k - left);
}

}  // namespace

void fir_detail::FilterChannel(const float* x, int64_t n, const std::vector<float>& h, float* out,
                               int64_t b, int64_t e, bool vectorised) {
    if (h.empty() || n < 1) return;
    FilterWithOrderedTaps(x, n, SumOrderTaps(h), out, b, e, vectorised);
}

std::vector<float> NormalisedTaps(const cWaveform& tapWave) {
    const int64_t m = tapWave.sampleCount;
    const float* I = tapWave.I.data();
    const float* Q = tapWave.Q.data();
    float peak = 0.0f;
    for (int64_t k = 0; k < m; ++k)
        peak = std::max(peak, std::sqrt(I[k] * I[k] + Q[k] * Q[k]));
    const float factor = peak > 1e-30f ? 1.0f / peak : 1.0f;
    std::vector<float> h(static_cast<size_t>(m));
    for (int64_t k = 0; k < m; ++k)
        h[static_cast<size_t>(k)] = I[k] * factor * 0.5f;
    return h;
}

int ReadTapFile(ToolContext& ctx, const PromptSpec& question, int fileType,
                std::vector<float>& taps, std::string& why) {
    taps.clear();
    why.clear();
    cWaveform tapWave;
    const int code = LoadSecondWaveform(ctx, question, fileType, kDefaultSampleRateHz, tapWave);
    if (code == kErrCancelled) return code;
    if (code != kToolOk) {
        why = LoadFailureText(tapWave);
        return code;
    }
    std::vector<float> h = NormalisedTaps(tapWave);
    if (std::all_of(h.begin(), h.end(), [](float v) { return v == 0.0f; })) {
        why = "every tap is zero";
        return kErrScale;
    }
    taps = std::move(h);
    return kToolOk;
}

bool CircularFir(cWaveform& wave, const std::vector<float>& h, const WorkControl& ctx) {
    wave.EnsureTimeDomain(true);
    const int64_t n = wave.sampleCount;
    if (n < 1 || h.empty()) return true;
    const std::vector<double> g = SumOrderTaps(h);
    PrepareScratch(wave, n);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    float* oI = wave.scratchI.data();
    float* oQ = wave.scratchQ.data();
    const bool done = ForChunksInTwo(
        n, ctx,
        [&](int64_t b, int64_t e) {
            FilterWithOrderedTaps(I, n, g, oI, b, e, true);
            FilterWithOrderedTaps(Q, n, g, oQ, b, e, true);
        },
        kFirChunk);
    if (done) wave.SwapScratch();
    return done;
}
