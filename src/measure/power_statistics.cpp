#include "measure/power_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "waveform/split_work.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QRVN_HAVE_AVX2_PATH 1
#endif

namespace {

struct Sums {
    double power = 0.0, i = 0.0, q = 0.0;
    float peak = 0.0f;
};

inline float SamplePower(float i, float q, bool complex) {
    const double di = i, dq = q;
    return static_cast<float>(complex ? di * di + dq * dq : di * di);
}

void SumsPortable(const float* I, const float* Q, int64_t begin, int64_t end, bool complex,
                  Sums& s) {
    constexpr int kLanes = 4;
    double power[kLanes] = {}, si[kLanes] = {}, sq[kLanes] = {};
    float peak[kLanes] = {};
    int64_t k = begin;
    for (; k + kLanes <= end; k += kLanes)
        for (int l = 0; l < kLanes; ++l) {
            const float p = SamplePower(I[k + l], Q[k + l], complex);
            power[l] += p;
            si[l] += I[k + l];
            sq[l] += Q[k + l];
            peak[l] = p > peak[l] ? p : peak[l];
        }
    for (int l = 0; l < kLanes; ++l) {
        s.power += power[l];
        s.i += si[l];
        s.q += sq[l];
        s.peak = std::max(s.peak, peak[l]);
    }
    for (; k < end; ++k) {
        const float p = SamplePower(I[k], Q[k], complex);
        s.power += p;
        s.i += I[k];
        s.q += Q[k];
        s.peak = std::max(s.peak, p);
    }
}

#ifdef QRVN_HAVE_AVX2_PATH
// Four samples per step: squares and their sum in double, rounded once to float, as the
// portable SamplePower does (no fused multiply-add).
__attribute__((target("avx2"))) void SumsAvx2(const float* I, const float* Q, int64_t begin,
                                              int64_t end, bool complex, Sums& s) {
    __m256d power = _mm256_setzero_pd(), si = power, sq = power;
    __m256d power2 = power, si2 = power, sq2 = power;
    __m128 peak = _mm_setzero_ps(), peak2 = peak;
    // All-ones keeps Q² (complex), all-zeros drops it, whatever Q holds.
    const __m256d qMask =
        complex ? _mm256_castsi256_pd(_mm256_set1_epi64x(-1)) : _mm256_setzero_pd();
    int64_t k = begin;
    for (; k + 8 <= end; k += 8) {
        const __m256d i0 = _mm256_cvtps_pd(_mm_loadu_ps(I + k));
        const __m256d q0 = _mm256_cvtps_pd(_mm_loadu_ps(Q + k));
        const __m256d i1 = _mm256_cvtps_pd(_mm_loadu_ps(I + k + 4));
        const __m256d q1 = _mm256_cvtps_pd(_mm_loadu_ps(Q + k + 4));
        const __m256d qq0 = _mm256_and_pd(_mm256_mul_pd(q0, q0), qMask);
        const __m256d qq1 = _mm256_and_pd(_mm256_mul_pd(q1, q1), qMask);
        const __m128 p0 = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(i0, i0), qq0));
        const __m128 p1 = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(i1, i1), qq1));
        power = _mm256_add_pd(power, _mm256_cvtps_pd(p0));
        power2 = _mm256_add_pd(power2, _mm256_cvtps_pd(p1));
        peak = _mm_max_ps(p0, peak);
        peak2 = _mm_max_ps(p1, peak2);
        si = _mm256_add_pd(si, i0);
        si2 = _mm256_add_pd(si2, i1);
        sq = _mm256_add_pd(sq, q0);
        sq2 = _mm256_add_pd(sq2, q1);
    }
    alignas(32) double lanes[3][4];
    _mm256_store_pd(lanes[0], _mm256_add_pd(power, power2));
    _mm256_store_pd(lanes[1], _mm256_add_pd(si, si2));
    _mm256_store_pd(lanes[2], _mm256_add_pd(sq, sq2));
    alignas(16) float peaks[4];
    _mm_store_ps(peaks, _mm_max_ps(peak, peak2));
    for (int l = 0; l < 4; ++l) {
        s.power += lanes[0][l];
        s.i += lanes[1][l];
        s.q += lanes[2][l];
        s.peak = std::max(s.peak, peaks[l]);
    }
    SumsPortable(I, Q, k, end, complex, s);
}
#endif

void SumRange(const float* I, const float* Q, int64_t begin, int64_t end, bool complex, Sums& s) {
#ifdef QRVN_HAVE_AVX2_PATH
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        SumsAvx2(I, Q, begin, end, complex, s);
        return;
    }
#endif
    SumsPortable(I, Q, begin, end, complex, s);
}

// Ranges shorter than this are summed on the calling thread.
constexpr int64_t kParallelSamples = int64_t{1} << 22;

}  // namespace

double PowerStatistics::RmsAmplitude() const { return std::sqrt(meanPower) + 1e-15; }
double PowerStatistics::PeakAmplitude() const { return std::sqrt(peakPower) + 1e-15; }
double PowerStatistics::SineAmplitude() const { return std::sqrt(2.0 * meanPower) + 1e-15; }

PowerStatistics ComputePowerStatistics(const float* I, const float* Q, int64_t first, int64_t last,
                                       bool complex) {
    PowerStatistics r;
    if (last < first) return r;
    const int64_t count = last - first + 1;
    Sums parts[2];
    SplitInTwo(count, kParallelSamples, 64, [&](int64_t b, int64_t e) {
        SumRange(I, Q, first + b, first + e, complex, parts[b == 0 ? 0 : 1]);
    });
    r.count = count;
    r.meanPower = (parts[0].power + parts[1].power) / static_cast<double>(count);
    r.peakPower = std::max(parts[0].peak, parts[1].peak);
    r.meanI = (parts[0].i + parts[1].i) / static_cast<double>(count);
    r.meanQ = (parts[0].q + parts[1].q) / static_cast<double>(count);
    return r;
}

void CorrectStatisticsRange(int64_t n, int64_t& start, int64_t& end) {
    if (start == end) end = end + 1;
    if (start >= n) start = 0;
    if (end >= n) end = n - 1;
    if (start < 0) start = 0;
    if (end < 0) end = n - 1;
}

void SortPositiveFloats(std::vector<float>& values) {
    const size_t m = values.size();
    if (m < 4096) {
        std::sort(values.begin(), values.end());
        return;
    }
    // Positive floats order as their bit patterns do: byte-wise passes, least significant
    // first, with all four histograms counted in one read. A byte that every key shares (the
    // exponent of powers in a narrow range) needs no pass.
    std::vector<uint32_t> keys(m), spare(m);
    std::memcpy(keys.data(), values.data(), m * sizeof(float));
    std::vector<size_t> counts(4 * 256, 0);
    for (uint32_t k : keys)
        for (int digit = 0; digit < 4; ++digit)
            ++counts[static_cast<size_t>(digit) * 256 + ((k >> (8 * digit)) & 255)];
    for (int digit = 0; digit < 4; ++digit) {
        size_t* c = &counts[static_cast<size_t>(digit) * 256];
        if (c[(keys[0] >> (8 * digit)) & 255] == m) continue;
        size_t sum = 0;
        for (int b = 0; b < 256; ++b) {
            const size_t here = c[b];
            c[b] = sum;
            sum += here;
        }
        const int shift = 8 * digit;
        for (uint32_t k : keys)
            spare[c[(k >> shift) & 255]++] = k;
        keys.swap(spare);
    }
    std::memcpy(values.data(), keys.data(), m * sizeof(float));
}

CcdfStatistics ComputeCcdfStatistics(const float* I, const float* Q, int64_t n) {
    CcdfStatistics r;
    if (n <= 0) return r;
    r.count = n;
    r.power = ComputePowerStatistics(I, Q, 0, n - 1, true);
    const double mean = r.power.meanPower;
    // Written unconditionally, kept by advancing: no branch to mispredict on noise.
    r.above.resize(static_cast<size_t>(n));
    float* out = r.above.data();
    size_t m = 0;
    for (int64_t k = 0; k < n; ++k) {
        const float p = SamplePower(I[k], Q[k], true);
        out[m] = p;
        m += p > mean;
    }
    r.above.resize(m);
    r.above.shrink_to_fit();
    SortPositiveFloats(r.above);
    r.percentAboveMean = 100.0 * static_cast<double>(m) / static_cast<double>(n);
    const double rmsDb = 20.0 * std::log10(r.power.RmsAmplitude());
    for (size_t i = 0; i < r.parDb.size(); ++i) {
        const double q = CcdfStatistics::kProbabilitiesPercent[i];
        const int64_t j = static_cast<int64_t>(std::round(q / 100.0 * static_cast<double>(n)));
        const int64_t idx = static_cast<int64_t>(m) - j - 1;
        r.parDb[i] = idx > 0 ? 10.0 * std::log10(r.above[static_cast<size_t>(idx)]) - rmsDb : 0.0;
    }
    return r;
}
