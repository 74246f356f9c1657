// AVX-512 butterflies. Each lane does exactly the scalar operations: float inputs widened to
// double, double products and sum, one rounding to float, then the float add and subtract.
// No fused multiply-add is used, so results match the portable path bit for bit.

#include "dsp/fft_internal.h"

#if defined(__x86_64__) && defined(__GNUC__)
// GCC 12 reports its own _mm512_undefined_* helpers as maybe-uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>

#define QRVN_AVX512 __attribute__((target("avx512f,avx512dq")))

namespace fft_detail {
namespace {

// Factors of four complex lanes: (wr, wr) and (-wi, wi) per lane, wi of the transform's sign.
struct Factors4 {
    __m512d wr, wis;
};

QRVN_AVX512 inline Factors4 MakeFactors4(const double (&wr)[4], const double (&wi)[4]) {
    return {_mm512_setr_pd(wr[0], wr[0], wr[1], wr[1], wr[2], wr[2], wr[3], wr[3]),
            _mm512_setr_pd(-wi[0], wi[0], -wi[1], wi[1], -wi[2], wi[2], -wi[3], wi[3])};
}

// t = w * b for four points, b widened to double: (wr*br - wi*bi, wr*bi + wi*br), one rounding.
QRVN_AVX512 inline __m256 Product4(__m512d b, const Factors4& f) {
    const __m512d p = _mm512_mul_pd(f.wr, b);
    const __m512d q = _mm512_mul_pd(f.wis, _mm512_permute_pd(b, 0x55));
    return _mm512_cvtpd_ps(_mm512_add_pd(p, q));
}

// Eight butterflies on shuffled operand vectors, lanes 0-3 and 4-7 with their own factors.
QRVN_AVX512 inline void Butterfly8(__m512& a, __m512& b, const Factors4& lo, const Factors4& hi) {
    const __m256 t0 = Product4(_mm512_cvtps_pd(_mm512_castps512_ps256(b)), lo);
    const __m256 t1 = Product4(_mm512_cvtps_pd(_mm512_extractf32x8_ps(b, 1)), hi);
    const __m512 t = _mm512_insertf32x8(_mm512_castps256_ps512(t0), t1, 1);
    b = _mm512_sub_ps(a, t);
    a = _mm512_add_ps(a, t);
}

// Stage M = 2 has the factor (1, +0) for both signs. In double, 1*br - 0*bi and 1*bi + 0*br
// are exact, so the same floats (signed zeros included) come from float arithmetic:
// t = (br + (-0)*bi, bi + 0*br).
QRVN_AVX512 inline void ButterflyUnit8(__m512& a, __m512& b) {
    const __m512 cross = _mm512_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f,
                                        0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f);
    const __m512 t = _mm512_add_ps(b, _mm512_mul_ps(cross, _mm512_permute_ps(b, 0xB1)));
    b = _mm512_sub_ps(a, t);
    a = _mm512_add_ps(a, t);
}

// Factors of stages M = 4 and M = 8 as they line up with the shuffled operands below.
struct FirstFactors {
    Factors4 m4, m8;
};

QRVN_AVX512 inline FirstFactors MakeFirstFactors(int sign) {
    double wr4[4], wi4[4], wr8[4], wi8[4];
    const double* w4 = TwiddleTable(2);
    const double* w8 = TwiddleTable(3);
    for (int i = 0; i < 4; ++i) {
        wr4[i] = TwiddleRe(w4, i % 2);
        wi4[i] = TwiddleImForSign(w4, i % 2, sign);
        wr8[i] = TwiddleRe(w8, i);
        wi8[i] = TwiddleImForSign(w8, i, sign);
    }
    return {MakeFactors4(wr4, wi4), MakeFactors4(wr8, wi8)};
}

// Stages M = 2, 4, 8 on two independent blocks of eight points held in z0 and z1.
QRVN_AVX512 inline void FirstStages16(__m512& z0, __m512& z1, const FirstFactors& f) {
    // M = 2: neighbouring points.
    {
        __m512 a = _mm512_castpd_ps(_mm512_unpacklo_pd(_mm512_castps_pd(z0), _mm512_castps_pd(z1)));
        __m512 b = _mm512_castpd_ps(_mm512_unpackhi_pd(_mm512_castps_pd(z0), _mm512_castps_pd(z1)));
        ButterflyUnit8(a, b);
        z0 = _mm512_castpd_ps(_mm512_unpacklo_pd(_mm512_castps_pd(a), _mm512_castps_pd(b)));
        z1 = _mm512_castpd_ps(_mm512_unpackhi_pd(_mm512_castps_pd(a), _mm512_castps_pd(b)));
    }
    // M = 4: 128-bit lanes (two points) paired within each group of four points.
    {
        __m512 a = _mm512_shuffle_f32x4(z0, z1, _MM_SHUFFLE(2, 0, 2, 0));
        __m512 b = _mm512_shuffle_f32x4(z0, z1, _MM_SHUFFLE(3, 1, 3, 1));
        Butterfly8(a, b, f.m4, f.m4);
        const __m512 lo = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(1, 0, 1, 0));
        const __m512 hi = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(3, 2, 3, 2));
        z0 = _mm512_shuffle_f32x4(lo, lo, _MM_SHUFFLE(3, 1, 2, 0));
        z1 = _mm512_shuffle_f32x4(hi, hi, _MM_SHUFFLE(3, 1, 2, 0));
    }
    // M = 8: halves of each group of eight points.
    {
        __m512 a = _mm512_shuffle_f32x4(z0, z1, _MM_SHUFFLE(1, 0, 1, 0));
        __m512 b = _mm512_shuffle_f32x4(z0, z1, _MM_SHUFFLE(3, 2, 3, 2));
        Butterfly8(a, b, f.m8, f.m8);
        z0 = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(1, 0, 1, 0));
        z1 = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(3, 2, 3, 2));
    }
}

// 8 x 8 transpose of complex points (64-bit elements): r[i] row i in, column i out.
QRVN_AVX512 inline void Transpose8(__m512d (&r)[8]) {
    __m512d t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm512_unpacklo_pd(r[i], r[i + 1]);
        t[i + 1] = _mm512_unpackhi_pd(r[i], r[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm512_shuffle_f64x2(t[i], t[i + 2], 0x88);
        u[i + 1] = _mm512_shuffle_f64x2(t[i], t[i + 2], 0xDD);
        u[i + 2] = _mm512_shuffle_f64x2(t[i + 1], t[i + 3], 0x88);
        u[i + 3] = _mm512_shuffle_f64x2(t[i + 1], t[i + 3], 0xDD);
    }
    r[0] = _mm512_shuffle_f64x2(u[0], u[4], 0x88);
    r[4] = _mm512_shuffle_f64x2(u[0], u[4], 0xDD);
    r[2] = _mm512_shuffle_f64x2(u[1], u[5], 0x88);
    r[6] = _mm512_shuffle_f64x2(u[1], u[5], 0xDD);
    r[1] = _mm512_shuffle_f64x2(u[2], u[6], 0x88);
    r[5] = _mm512_shuffle_f64x2(u[2], u[6], 0xDD);
    r[3] = _mm512_shuffle_f64x2(u[3], u[7], 0x88);
    r[7] = _mm512_shuffle_f64x2(u[3], u[7], 0xDD);
}

constexpr int kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};

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
        for (int i = 0; i < 16; ++i)
            w[i] = group[i];
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

QRVN_AVX512 void ButterflyRangeAvx512(float* a, float* b, const double* w, int64_t len, int sign,
                                      bool startsAtK0) {
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
    const FirstFactors f = MakeFirstFactors(sign);
    for (int64_t i = 0; i < count; i += 16) {
        __m512 z0 = _mm512_loadu_ps(x + 2 * i);
        __m512 z1 = _mm512_loadu_ps(x + 2 * i + 16);
        FirstStages16(z0, z1, f);
        _mm512_storeu_ps(x + 2 * i, z0);
        _mm512_storeu_ps(x + 2 * i + 16, z1);
    }
}

// Index (a, mid, c) with 3-bit a and c moves to (rev c, rev mid, rev a). The 64 points sharing
// mid are eight rows of eight consecutive points; loaded in rev-a order and transposed, column
// c is exactly the destination row rev c, a whole block of eight for the first three stages.
namespace {
struct TileGeometry {
    float* x;
    int rowShift;
    float* Row(int64_t row, int64_t mid) const { return x + 2 * ((row << rowShift) | (mid << 3)); }
};

// Loads the tile of mid, transposes it and runs the first stages on each destination row.
QRVN_AVX512 inline void LoadTile(const TileGeometry& g, int64_t mid, const FirstFactors& f,
                                 __m512d (&r)[8]) {
    for (int a = 0; a < 8; ++a)
        r[kRev3[a]] = _mm512_loadu_pd(g.Row(a, mid));
    Transpose8(r);
    for (int c = 0; c < 8; c += 2) {
        __m512 z0 = _mm512_castpd_ps(r[c]), z1 = _mm512_castpd_ps(r[c + 1]);
        FirstStages16(z0, z1, f);
        r[c] = _mm512_castps_pd(z0);
        r[c + 1] = _mm512_castps_pd(z1);
    }
}

QRVN_AVX512 inline void StoreTile(const TileGeometry& g, int64_t mid, const __m512d (&r)[8]) {
    for (int c = 0; c < 8; ++c)
        _mm512_storeu_pd(g.Row(kRev3[c], mid), r[c]);
}
}  // namespace

QRVN_AVX512 void BitReverseFirstStagesAvx512(float* x, int log2n, int sign) {
    const FirstFactors f = MakeFirstFactors(sign);
    const int midBits = log2n - 6;
    const TileGeometry g{x, log2n - 3};
    const int64_t mids = int64_t{1} << midBits;
    for (int64_t mid = 0; mid < mids; ++mid) {
        uint64_t rev = 0;
        for (int b = 0; b < midBits; ++b)
            rev |= ((static_cast<uint64_t>(mid) >> b) & 1u) << (midBits - 1 - b);
        const int64_t midRev = static_cast<int64_t>(rev);
        if (midRev < mid) continue;
        __m512d t1[8];
        LoadTile(g, mid, f, t1);
        if (midRev != mid) {
            __m512d t2[8];
            LoadTile(g, midRev, f, t2);
            StoreTile(g, mid, t2);
        }
        StoreTile(g, midRev, t1);
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
void BitReverseFirstStagesAvx512(float*, int, int) {}
}  // namespace fft_detail

#endif
