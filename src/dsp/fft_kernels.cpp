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

// Negates the even (real) or odd (imaginary) lanes of the twiddle cross term.
QRVN_AVX512 inline __m512d CrossSignMask(int sign) {
    const double z = 0.0, n = -0.0;
    return sign < 0 ? _mm512_setr_pd(n, z, n, z, n, z, n, z) : _mm512_setr_pd(z, n, z, n, z, n, z, n);
}

// t = w * b for four complex points: b widened to double, w as (wr, wi) pairs of the -1 table.
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

}  // namespace

QRVN_AVX512 void ButterflyRangeAvx512(float* a, float* b, const double* w, int64_t len,
                                      int sign) {
    if (len % 8 != 0) {
        ButterflyRangeScalar(a, b, w, len, sign);
        return;
    }
    const __m512d mask = CrossSignMask(sign);
    for (int64_t k = 0; k < len; k += 8) {
        __m512 va = _mm512_loadu_ps(a + 2 * k);
        __m512 vb = _mm512_loadu_ps(b + 2 * k);
        Butterfly8(va, vb, _mm512_loadu_pd(w + 2 * k), _mm512_loadu_pd(w + 2 * k + 8), mask);
        _mm512_storeu_ps(a + 2 * k, va);
        _mm512_storeu_ps(b + 2 * k, vb);
    }
}

QRVN_AVX512 void FirstStagesAvx512(float* x, int64_t count, int sign) {
    const __m512d mask = CrossSignMask(sign);
    const double* w2 = TwiddleTable(1);
    const double* w4 = TwiddleTable(2);
    const double* w8 = TwiddleTable(3);
    // Twiddles as they line up with the shuffled operands of each stage.
    const __m512d t2 = _mm512_setr_pd(w2[0], w2[1], w2[0], w2[1], w2[0], w2[1], w2[0], w2[1]);
    const __m512d t4 = _mm512_setr_pd(w4[0], w4[1], w4[2], w4[3], w4[0], w4[1], w4[2], w4[3]);
    const __m512d t8 = _mm512_loadu_pd(w8);
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
void ButterflyRangeAvx512(float* a, float* b, const double* w, int64_t len, int sign) {
    ButterflyRangeScalar(a, b, w, len, sign);
}
void FirstStagesAvx512(float*, int64_t, int) {}
}  // namespace fft_detail

#endif
