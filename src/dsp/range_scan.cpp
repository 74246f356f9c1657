#include "dsp/range_scan.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QRVN_HAVE_AVX2_PATH 1
#endif

namespace {

constexpr int kLanes = 16;

// Portable scans with independent partial results.
float MaxPortable(const float* p, int64_t begin, int64_t end) {
    float lanes[kLanes];
    for (float& l : lanes)
        l = p[begin];
    int64_t k = begin;
    for (; k + kLanes <= end; k += kLanes)
        for (int i = 0; i < kLanes; ++i)
            lanes[i] = p[k + i] > lanes[i] ? p[k + i] : lanes[i];
    float best = lanes[0];
    for (int i = 1; i < kLanes; ++i)
        best = lanes[i] > best ? lanes[i] : best;
    for (; k < end; ++k)
        best = p[k] > best ? p[k] : best;
    return best;
}

void MinMaxPortable(const float* p, int64_t begin, int64_t end, float& lo, float& hi) {
    float los[kLanes], his[kLanes];
    for (int i = 0; i < kLanes; ++i)
        los[i] = his[i] = p[begin];
    int64_t k = begin;
    for (; k + kLanes <= end; k += kLanes)
        for (int i = 0; i < kLanes; ++i) {
            los[i] = p[k + i] < los[i] ? p[k + i] : los[i];
            his[i] = p[k + i] > his[i] ? p[k + i] : his[i];
        }
    lo = los[0];
    hi = his[0];
    for (int i = 1; i < kLanes; ++i) {
        lo = los[i] < lo ? los[i] : lo;
        hi = his[i] > hi ? his[i] : hi;
    }
    for (; k < end; ++k) {
        lo = p[k] < lo ? p[k] : lo;
        hi = p[k] > hi ? p[k] : hi;
    }
}

#ifdef QRVN_HAVE_AVX2_PATH
// The same with eight-float vectors. _mm256_max_ps(x, acc) is "x > acc ? x : acc", exactly
// the portable comparison.
__attribute__((target("avx2"))) void MinMaxAvx2(const float* p, int64_t begin, int64_t end,
                                                float& lo, float& hi) {
    __m256 vlo = _mm256_set1_ps(p[begin]), vhi = vlo;
    int64_t k = begin;
    for (; k + 8 <= end; k += 8) {
        const __m256 x = _mm256_loadu_ps(p + k);
        vlo = _mm256_min_ps(x, vlo);
        vhi = _mm256_max_ps(x, vhi);
    }
    float l[8], h[8];
    _mm256_storeu_ps(l, vlo);
    _mm256_storeu_ps(h, vhi);
    lo = l[0];
    hi = h[0];
    for (int i = 1; i < 8; ++i) {
        lo = l[i] < lo ? l[i] : lo;
        hi = h[i] > hi ? h[i] : hi;
    }
    for (; k < end; ++k) {
        lo = p[k] < lo ? p[k] : lo;
        hi = p[k] > hi ? p[k] : hi;
    }
}

__attribute__((target("avx2"))) int64_t FindFirstAvx2(const float* p, int64_t begin, int64_t end,
                                                      float value) {
    const __m256 v = _mm256_set1_ps(value);
    int64_t k = begin;
    for (; k + 8 <= end; k += 8) {
        const int mask = _mm256_movemask_ps(_mm256_cmp_ps(_mm256_loadu_ps(p + k), v, _CMP_EQ_OQ));
        if (mask) return k + __builtin_ctz(static_cast<unsigned>(mask));
    }
    for (; k < end; ++k)
        if (p[k] == value) return k;
    return end;
}

bool HaveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

}  // namespace

bool FirstMax(const float* p, int64_t begin, int64_t end, float& value, int64_t& index) {
    if (end <= begin) return false;
    float best;
    int64_t at = begin;
#ifdef QRVN_HAVE_AVX2_PATH
    if (HaveAvx2()) {
        float lo;
        MinMaxAvx2(p, begin, end, lo, best);
        at = FindFirstAvx2(p, begin, end, best);
    } else
#endif
    {
        best = MaxPortable(p, begin, end);
        while (at < end && !(p[at] == best))
            ++at;
    }
    if (at == end) {  // NaN-only ranges: fall back to the plain scan's answer
        at = begin;
        best = p[begin];
    }
    value = best;
    index = at;
    return true;
}

void MinMax(const float* p, int64_t begin, int64_t end, float& lo, float& hi) {
#ifdef QRVN_HAVE_AVX2_PATH
    if (HaveAvx2()) return MinMaxAvx2(p, begin, end, lo, hi);
#endif
    MinMaxPortable(p, begin, end, lo, hi);
}

double Sum(const float* p, int64_t begin, int64_t end) {
    double partial[kLanes] = {};
    int64_t k = begin;
    for (; k + kLanes <= end; k += kLanes)
        for (int i = 0; i < kLanes; ++i)
            partial[i] += p[k + i];
    double sum = 0.0;
    for (double s : partial)
        sum += s;
    for (; k < end; ++k)
        sum += p[k];
    return sum;
}
