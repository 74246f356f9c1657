#pragma once
// Radix-2 decimation-in-time FFTs on single-precision data. Twiddle factors come from the
// classic trigonometric recurrence held in double precision; each product with a twiddle is
// rounded to float before the butterfly's add and subtract. The results are bit-for-bit those
// of the plain textbook routine; only the order of work and the vector width differ.

#include <cstdint>
#include <functional>

// Smallest and largest complex transform lengths (log2).
constexpr int kFftMinLog2 = 3;
constexpr int kFftMaxLog2 = 27;

// In-place complex transform of n points stored as interleaved (re, im) floats:
// X[k] = sum_j x[j] * exp(sign * 2*pi*i*j*k/n), no scaling in either direction.
// n must be a power of two from 8 to 2^27 and sign -1 (forward) or +1 (inverse);
// any other n leaves the buffer unchanged.
void ComplexFFT(float* data, int64_t n, int sign);

// Called between passes over the data of a long transform with the fraction done (0 to 1);
// returning false abandons the transform.
using FftPoll = std::function<bool(double fractionDone)>;
// ComplexFFT, bit for bit, that calls poll after the bit reversal and before each later pass
// over the data (each block of 2^20 points, each stage after those), so a transform of millions
// of points can report progress and be stopped. Returns true when the transform ran to its end;
// false when poll stopped it (data then holds a partial transform) or n or sign is not valid
// (data unchanged).
bool ComplexFFT(float* data, int64_t n, int sign, const FftPoll& poll);

// In-place transform of n real samples, n a power of two from 16 to 2^28, with the positive
// exponent F[k] = sum_j x[j] * exp(+2*pi*i*j*k/n), unscaled. Packed result: [0] = Re F[0],
// [1] = Re F[n/2], [2k], [2k+1] = Re, Im F[k] for k = 1 .. n/2-1. Other n leave data unchanged.
void RealFFT(float* data, int64_t n);

// log2(n) as the transforms detect it, or -1 when n is not a power of two in [2^lo, 2^hi].
int FftSizeLog2(int64_t n, int lo, int hi);
