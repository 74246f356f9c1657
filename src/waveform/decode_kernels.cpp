#include "waveform/decode_kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
// GCC 12 reports its own _mm512_undefined_* helpers as (maybe-)uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>

#define QRVN_AVX512BW __attribute__((target("avx512f,avx512bw,avx512dq")))

namespace decode_detail {
namespace {

constexpr double kRecip16 = 1.0 / 32767.0;

// Swaps the two bytes of every 16-bit word.
QRVN_AVX512BW inline __m512i SwapBytes(__m512i v) {
    const __m512i shuffle = _mm512_set_epi8(
        62, 63, 60, 61, 58, 59, 56, 57, 54, 55, 52, 53, 50, 51, 48, 49, 46, 47, 44, 45, 42, 43, 40,
        41, 38, 39, 36, 37, 34, 35, 32, 33, 30, 31, 28, 29, 26, 27, 24, 25, 22, 23, 20, 21, 18, 19,
        16, 17, 14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    return _mm512_shuffle_epi8(v, shuffle);
}

// Sixteen int32 values scaled to floats.
QRVN_AVX512BW inline __m512 Scale16(__m512i v) {
    const __m512d r = _mm512_set1_pd(kRecip16);
    const __m256 lo =
        _mm512_cvtpd_ps(_mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(v)), r));
    const __m256 hi =
        _mm512_cvtpd_ps(_mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(v, 1)), r));
    return _mm512_insertf32x8(_mm512_castps256_ps512(lo), hi, 1);
}

template <bool BigEndian, bool Offset>
QRVN_AVX512BW int Interleaved(const uint8_t* raw, int count, float* I, float* Q) {
    const __m512i flip = _mm512_set1_epi32(static_cast<int>(0x80008000u));
    int k = 0;
    for (; k + 16 <= count; k += 16) {
        __m512i v = _mm512_loadu_si512(raw + 4 * static_cast<int64_t>(k));
        if (BigEndian) v = SwapBytes(v);
        if (Offset) v = _mm512_xor_si512(v, flip);
        // Each dword holds I in its low word and Q in its high word.
        const __m512i i = _mm512_srai_epi32(_mm512_slli_epi32(v, 16), 16);
        const __m512i q = _mm512_srai_epi32(v, 16);
        _mm512_storeu_ps(I + k, Scale16(i));
        _mm512_storeu_ps(Q + k, Scale16(q));
    }
    return k;
}

template <bool BigEndian, bool Offset>
QRVN_AVX512BW int Real(const uint8_t* raw, int count, float* I) {
    const __m512i flip = _mm512_set1_epi16(static_cast<short>(0x8000));
    int k = 0;
    for (; k + 32 <= count; k += 32) {
        __m512i v = _mm512_loadu_si512(raw + 2 * static_cast<int64_t>(k));
        if (BigEndian) v = SwapBytes(v);
        if (Offset) v = _mm512_xor_si512(v, flip);
        _mm512_storeu_ps(I + k, Scale16(_mm512_cvtepi16_epi32(_mm512_castsi512_si256(v))));
        _mm512_storeu_ps(I + k + 16,
                         Scale16(_mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(v, 1))));
    }
    return k;
}

}  // namespace

bool HaveAvx512Bw() {
    static const bool have = __builtin_cpu_supports("avx512f") &&
                             __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512dq");
    return have;
}

int DecodeInterleaved16Avx512(const uint8_t* raw, int count, float* I, float* Q, bool bigEndian,
                              bool offset) {
    if (bigEndian)
        return offset ? Interleaved<true, true>(raw, count, I, Q)
                      : Interleaved<true, false>(raw, count, I, Q);
    return offset ? Interleaved<false, true>(raw, count, I, Q)
                  : Interleaved<false, false>(raw, count, I, Q);
}

int DecodeReal16Avx512(const uint8_t* raw, int count, float* I, bool bigEndian, bool offset) {
    if (bigEndian)
        return offset ? Real<true, true>(raw, count, I) : Real<true, false>(raw, count, I);
    return offset ? Real<false, true>(raw, count, I) : Real<false, false>(raw, count, I);
}

}  // namespace decode_detail

#else

namespace decode_detail {
bool HaveAvx512Bw() { return false; }
int DecodeInterleaved16Avx512(const uint8_t*, int, float*, float*, bool, bool) { return 0; }
int DecodeReal16Avx512(const uint8_t*, int, float*, bool, bool) { return 0; }
}  // namespace decode_detail

#endif
