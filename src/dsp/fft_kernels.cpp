// AVX-512 butterflies. Each lane does exactly the scalar operations: float inputs widened to
// double, double products and sum, one rounding to float, then the float add and subtract.
// No fused multiply-add is used, so results match the portable path bit for bit.

#include "dsp/fft_internal.h"

#if defined(__x86_64__) && defined(__GNUC__)
// GCC 12 reports its own _mm512_undefined_* helpers as maybe-uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#define QRVN_AVX512 __attribute__((target("avx512f,avx512dq")))

namespace fft_detail {
namespace {

// Negates the even (real) lanes of the twiddle cross term: t = (wr*br - wi*bi, wr*bi + wi*br).
QRVN_AVX512 inline __m512d CrossSignMask() {
    const double z = 0.0, n = -0.0;
    return _mm512_setr_pd(n, z, n, z, n, z, n, z);
}

// t = w * b for four complex points: b widened to double, w as (wr, wi) pairs of this sign.
QRVN_AVX512 inline __m512d Twiddle(__m512d b, __m512d w, __m512d mask) {
    const __m512d wr = _mm512_movedup_pd(w);
    const __m512d wi = _mm512_permute_pd(w, 0xFF);
    const __m512d bs = _mm512_permute_pd(b, 0x55);
    const __m512d p = _mm512_mul_pd(wr, b);
    const __m512d q = _mm512_xor_pd(_mm512_mul_pd(wi, bs), mask);
    return _mm512_add_pd(p, q);
}

// Eight butterflies: a holds the upper operands, b the lower ones, w0/w1 their twiddles.
QRVN_AVX512 inline void Butterfly8(__m512& a, __m512& b, __m512d w0, __m512d w1, __m512d mask) {
    const __m512d b0 = _mm512_cvtps_pd(_mm512_castps512_ps256(b));
    const __m512d b1 = _mm512_cvtps_pd(_mm512_extractf32x8_ps(b, 1));
    const __m256 t0 = _mm512_cvtpd_ps(Twiddle(b0, w0, mask));
    const __m256 t1 = _mm512_cvtpd_ps(Twiddle(b1, w1, mask));
    const __m512 t = _mm512_insertf32x8(_mm512_castps256_ps512(t0), t1, 1);
    b = _mm512_sub_ps(a, t);
    a = _mm512_add_ps(a, t);
}

// Four butterflies: the lower operands widened to double, multiplied by the duplicated (wr, wr)
// and signed (-wi, wi) factors at w, summed, rounded to float, then added and subtracted in
// float. Sign +1 subtracts the cross term instead of adding it (its wi is exactly -wi).
template <bool Forward>
QRVN_AVX512 inline void Butterfly4(__m256& a, __m256& b, const double* w) {
    const __m512d vb = _mm512_cvtps_pd(b);
    const __m512d p = _mm512_mul_pd(_mm512_loadu_pd(w), vb);
    const __m512d q = _mm512_mul_pd(_mm512_loadu_pd(w + 8), _mm512_permute_pd(vb, 0x55));
    const __m256 t = _mm512_cvtpd_ps(Forward ? _mm512_add_pd(p, q) : _mm512_sub_pd(p, q));
    b = _mm256_sub_ps(a, t);
    a = _mm256_add_ps(a, t);
}

// The stored factors are those of sign -1; sign +1 uses exactly -wi, except at k = 0, where
// both signs start from wi = +0.0. For sign +1 the group holding k = 0 is therefore used with
// its k = 0 cross factors negated, so that subtracting the cross term adds +0.0 * b as the
// recurrence does.
struct FirstGroup {
    alignas(64) double w[16];
    explicit FirstGroup(const double* group) {
        for (int i = 0; i < 16; ++i) w[i] = group[i];
        w[8] = -w[8];
        w[9] = -w[9];
    }
};

template <bool Forward>
QRVN_AVX512 void ButterflyRangeImpl(float* a, float* b, const double* w, int64_t len,
                                    bool startsAtK0) {
    int64_t k = 0;
    if (!Forward && startsAtK0 && len >= 4) {
        const FirstGroup g(w);
        __m256 va = _mm256_loadu_ps(a);
        __m256 vb = _mm256_loadu_ps(b);
        Butterfly4<Forward>(va, vb, g.w);
        _mm256_storeu_ps(a, va);
        _mm256_storeu_ps(b, vb);
        k = 4;
    }
    for (; k < len; k += 4) {
        __m256 va = _mm256_loadu_ps(a + 2 * k);
        __m256 vb = _mm256_loadu_ps(b + 2 * k);
        Butterfly4<Forward>(va, vb, w + 4 * k);
        _mm256_storeu_ps(a + 2 * k, va);
        _mm256_storeu_ps(b + 2 * k, vb);
    }
}

// Stages s and s+1 over every block of 2^(s+1) points in the region, done together while the
// four quarter-blocks are in registers: (Q0,Q1) and (Q2,Q3) with stage s's factors, then
// (Q0,Q2) and (Q1,Q3) with stage s+1's.
template <bool Forward>
QRVN_AVX512 void StagePairImpl(float* x, int64_t count, int s) {
    const int64_t h = int64_t{1} << (s - 1);
    const double* ws = TwiddleTable(s);
    const double* wn = TwiddleTable(s + 1);
    const FirstGroup ws0(ws), wn0(wn);
    const double* ws0p = Forward ? ws : ws0.w;
    const double* wn0p = Forward ? wn : wn0.w;
    for (int64_t base = 0; base < count; base += 4 * h) {
        float* q0 = x + 2 * base;
        float* q1 = q0 + 2 * h;
        float* q2 = q1 + 2 * h;
        float* q3 = q2 + 2 * h;
        for (int64_t k = 0; k < h; k += 4) {
            __m256 v0 = _mm256_loadu_ps(q0 + 2 * k);
            __m256 v1 = _mm256_loadu_ps(q1 + 2 * k);
            __m256 v2 = _mm256_loadu_ps(q2 + 2 * k);
            __m256 v3 = _mm256_loadu_ps(q3 + 2 * k);
            const double* wsk = k == 0 ? ws0p : ws + 4 * k;
            const double* wnk = k == 0 ? wn0p : wn + 4 * k;
            Butterfly4<Forward>(v0, v1, wsk);
            Butterfly4<Forward>(v2, v3, wsk);
            Butterfly4<Forward>(v0, v2, wnk);
            Butterfly4<Forward>(v1, v3, wn + 4 * (k + h));
            _mm256_storeu_ps(q0 + 2 * k, v0);
            _mm256_storeu_ps(q1 + 2 * k, v1);
            _mm256_storeu_ps(q2 + 2 * k, v2);
            _mm256_storeu_ps(q3 + 2 * k, v3);
        }
    }
}

template <bool Forward>
QRVN_AVX512 void StageImpl(float* x, int64_t count, int s) {
    const int64_t h = int64_t{1} << (s - 1);
    const double* w = TwiddleTable(s);
    for (int64_t base = 0; base < count; base += 2 * h)
        ButterflyRangeImpl<Forward>(x + 2 * base, x + 2 * (base + h), w, h, true);
}

}  // namespace

QRVN_AVX512 void ButterflyRangeAvx512(float* a, float* b, const double* w, int64_t len,
                                      int sign, bool startsAtK0) {
    if (len % 4 != 0) {
        ButterflyRangeScalar(a, b, w, len, sign, startsAtK0);
        return;
    }
    if (sign < 0)
        ButterflyRangeImpl<true>(a, b, w, len, startsAtK0);
    else
        ButterflyRangeImpl<false>(a, b, w, len, startsAtK0);
}

QRVN_AVX512 void StagesAvx512(float* x, int64_t count, int firstStage, int lastStage, int sign) {
    int s = firstStage;
    for (; s + 1 <= lastStage; s += 2) {
        if (sign < 0)
            StagePairImpl<true>(x, count, s);
        else
            StagePairImpl<false>(x, count, s);
    }
    if (s == lastStage) {
        if (sign < 0)
            StageImpl<true>(x, count, s);
        else
            StageImpl<false>(x, count, s);
    }
}

QRVN_AVX512 void FirstStagesAvx512(float* x, int64_t count, int sign) {
    const __m512d mask = CrossSignMask();
    // (wr, wi) pairs of this sign as they line up with the shuffled operands of each stage.
    auto pair = [sign](int log2M, int64_t k, int slot) {
        const double* w = TwiddleTable(log2M);
        return slot == 0 ? TwiddleRe(w, k) : TwiddleImForSign(w, k, sign);
    };
    const __m512d t2 = _mm512_setr_pd(pair(1, 0, 0), pair(1, 0, 1), pair(1, 0, 0), pair(1, 0, 1),
                                      pair(1, 0, 0), pair(1, 0, 1), pair(1, 0, 0), pair(1, 0, 1));
    const __m512d t4 = _mm512_setr_pd(pair(2, 0, 0), pair(2, 0, 1), pair(2, 1, 0), pair(2, 1, 1),
                                      pair(2, 0, 0), pair(2, 0, 1), pair(2, 1, 0), pair(2, 1, 1));
    const __m512d t8 = _mm512_setr_pd(pair(3, 0, 0), pair(3, 0, 1), pair(3, 1, 0), pair(3, 1, 1),
                                      pair(3, 2, 0), pair(3, 2, 1), pair(3, 3, 0), pair(3, 3, 1));
    for (int64_t i = 0; i < count; i += 16) {
        __m512 z0 = _mm512_loadu_ps(x + 2 * i);
        __m512 z1 = _mm512_loadu_ps(x + 2 * i + 16);
        // M = 2: pairs of neighbouring points.
        {
            __m512 a = _mm512_castpd_ps(_mm512_unpacklo_pd(_mm512_castps_pd(z0), _mm512_castps_pd(z1)));
            __m512 b = _mm512_castpd_ps(_mm512_unpackhi_pd(_mm512_castps_pd(z0), _mm512_castps_pd(z1)));
            Butterfly8(a, b, t2, t2, mask);
            z0 = _mm512_castpd_ps(_mm512_unpacklo_pd(_mm512_castps_pd(a), _mm512_castps_pd(b)));
            z1 = _mm512_castpd_ps(_mm512_unpackhi_pd(_mm512_castps_pd(a), _mm512_castps_pd(b)));
        }
        // M = 4: 128-bit lanes (two points) paired within each group of four points.
        {
            __m512 a = _mm512_shuffle_f32x4(z0, z1, _MM_SHUFFLE(2, 0, 2, 0));
            __m512 b = _mm512_shuffle_f32x4(z0, z1, _MM_SHUFFLE(3, 1, 3, 1));
            Butterfly8(a, b, t4, t4, mask);
            const __m512 lo = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(1, 0, 1, 0));
            const __m512 hi = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(3, 2, 3, 2));
            z0 = _mm512_shuffle_f32x4(lo, lo, _MM_SHUFFLE(3, 1, 2, 0));
            z1 = _mm512_shuffle_f32x4(hi, hi, _MM_SHUFFLE(3, 1, 2, 0));
        }
        // M = 8: halves of each group of eight points.
        {
            __m512 a = _mm512_shuffle_f32x4(z0, z1, _MM_SHUFFLE(1, 0, 1, 0));
            __m512 b = _mm512_shuffle_f32x4(z0, z1, _MM_SHUFFLE(3, 2, 3, 2));
            Butterfly8(a, b, t8, t8, mask);
            z0 = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(1, 0, 1, 0));
            z1 = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(3, 2, 3, 2));
        }
        _mm512_storeu_ps(x + 2 * i, z0);
        _mm512_storeu_ps(x + 2 * i + 16, z1);
    }
}

}  // namespace fft_detail

#else

namespace fft_detail {
void ButterflyRangeAvx512(float* a, float* b, const double* w, int64_t len, int sign,
                          bool startsAtK0) {
    ButterflyRangeScalar(a, b, w, len, sign, startsAtK0);
}
void FirstStagesAvx512(float*, int64_t, int) {}
void StagesAvx512(float*, int64_t, int, int, int) {}
}  // namespace fft_detail

#endif
