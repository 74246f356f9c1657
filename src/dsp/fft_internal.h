#pragma once
// Building blocks shared by the portable and the vectorised FFT paths.

#include <cstdint>

#include "dsp/fft.h"

namespace fft_detail {

// Twiddle layout: groups of four k, each 16 doubles: (wr, wr) for the four k, then (-wi, wi) for
// them, so a vector of four complex points meets its factors without shuffles. Sign -1 values;
// sign +1 has the same wr and exactly -wi, except at k = 0 (see TwiddleImForSign).
constexpr int64_t TwiddleDoubles(int64_t count) { return 16 * ((count + 3) / 4); }
inline void StoreTwiddle(double* w, int64_t k, double wr, double wi) {
    double* g = w + 16 * (k / 4) + 2 * (k % 4);
    g[0] = wr;
    g[1] = wr;
    g[8] = -wi;
    g[9] = wi;
}
inline double TwiddleRe(const double* w, int64_t k) { return w[16 * (k / 4) + 2 * (k % 4)]; }
inline double TwiddleIm(const double* w, int64_t k) { return w[16 * (k / 4) + 2 * (k % 4) + 9]; }
// wi of the given sign: -wi for sign +1, except that k = 0 starts at +0.0 for both signs (wi is
// zero nowhere else).
inline double TwiddleImForSign(const double* w, int64_t k, int sign) {
    const double wi = TwiddleIm(w, k);
    return (sign < 0 || wi == 0.0) ? wi : -wi;
}

// Twiddles of the combine stage of M = 2^log2M points for k = 0 .. M/2-1, produced by the
// recurrence; nullptr when the stage is too large to keep in a table (the caller then runs the
// recurrence itself, in chunks that are multiples of four).
const double* TwiddleTable(int log2M);
constexpr int kMaxTableLog2 = 20;

// Stores count factors of the stage recurrence, continuing from (wr, wi), and leaves (wr, wi)
// at the next value. Sign -1 constants.
void RunRecurrence(double* w, int64_t count, double& wr, double& wi, double wpr, double wpi);

// Recurrence constants of stage M for sign -1.
void StageConstants(int log2M, double& wpr, double& wpi);

// Butterflies x[k], x[k+h] for k = 0 .. len-1 with twiddles w[k], where a = &x[0],
// b = &x[h] in floats (2 per point). startsAtK0: w[0] is the stage's k = 0 factor.
void ButterflyRangeScalar(float* a, float* b, const double* w, int64_t len, int sign,
                          bool startsAtK0);
void ButterflyRangeAvx512(float* a, float* b, const double* w, int64_t len, int sign,
                          bool startsAtK0);

// Stages M = 2, 4 and 8 over count complex points (count a multiple of 16), fused in registers.
void FirstStagesAvx512(float* x, int64_t count, int sign);

// Bit-reversal permutation fused with stages M = 2, 4, 8 (log2n >= 6).
void BitReverseFirstStagesAvx512(float* x, int log2n, int sign);

// Stages firstStage .. lastStage (log2 of M, firstStage >= 3) over count complex points, two
// stages per pass over memory.
void StagesAvx512(float* x, int64_t count, int firstStage, int lastStage, int sign);

bool HaveAvx512();

// ComplexFFT on the portable path (vectorised = false) or the fastest one the CPU offers, with
// an optional poll between passes (see the ComplexFFT overload). False when it did not finish.
bool ComplexFFTPath(float* data, int64_t n, int sign, bool vectorised,
                    const FftPoll* poll = nullptr);

}  // namespace fft_detail
