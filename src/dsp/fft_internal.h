#pragma once
// Building blocks shared by the portable and the vectorised FFT paths.

#include <cstdint>

namespace fft_detail {

// Twiddles of the combine stage of M = 2^log2M points for sign -1, as (wr, wi) double pairs for
// k = 0 .. M/2-1, produced by the recurrence; nullptr when the stage is too large to keep in a
// table (the caller then runs the recurrence itself). Sign +1 has the same wr and exactly -wi.
const double* TwiddleTable(int log2M);
constexpr int kMaxTableLog2 = 20;

// Fills w with count (wr, wi) pairs of the stage recurrence, continuing from (wr, wi), and
// leaves (wr, wi) at the next value. Sign -1 constants.
void RunRecurrence(double* w, int64_t count, double& wr, double& wi, double wpr, double wpi);

// Recurrence constants of stage M for sign -1.
void StageConstants(int log2M, double& wpr, double& wpi);

// Butterflies x[k], x[k+h] for k = 0 .. len-1 with twiddles w[k] (sign -1 table layout),
// where a = &x[0], b = &x[h] in floats (2 per point).
void ButterflyRangeScalar(float* a, float* b, const double* w, int64_t len, int sign);
void ButterflyRangeAvx512(float* a, float* b, const double* w, int64_t len, int sign);

// Stages M = 2, 4 and 8 over count complex points (count a multiple of 16), fused in registers.
void FirstStagesAvx512(float* x, int64_t count, int sign);

bool HaveAvx512();

// ComplexFFT on the portable path (vectorised = false) or the fastest one the CPU offers.
void ComplexFFTPath(float* data, int64_t n, int sign, bool vectorised);

}  // namespace fft_detail
