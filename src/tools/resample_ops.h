#pragma once
// Resampling by integer factors, in the time domain (zero stuffing, decimation) and
// through the spectrum form (FFT interpolation and down-sampling). Sizes and rates are 64-bit
// and checked before anything is allocated; each result is built aside and exchanged in whole,
// so a failure or a stop request (kErrStopped) leaves the samples and the rate as they were.
// The rate Fs (Hz) is multiplied or divided (integer division) by the factor.

#include <cstdint>

#include "tools/tool.h"

class cWaveform;

// Sets out to a·b and returns true when the product fits in 64 bits; else false, out untouched.
bool MultiplyChecked(int64_t a, int64_t b, int64_t& out);

// True when k is a power of two from 2 to maxFactor.
bool IsPowerOfTwoFactor(int64_t k, int64_t maxFactor);

// Zero stuffing by K (526): N·K samples, y[n·K] = x[n] and the K − 1 after each are 0; Fs·K.
// kErrEmpty when N < 1; kErrResampleFactor when K < 2 or Fs·K does not fit in 64 bits;
// kErrTooLong when N·K > kMaxToolSamples.
int ZeroStuff(cWaveform& wave, int64_t factor, const WorkControl& ctx);

// Decimation by K (527), without anti-alias filtering: M = trunc(N/K + 0.5) samples (real
// division, so the rounding counts), y[i] = x[i·K]; Fs / K. kErrTooShort when N < 2 or M <= 1;
// kErrResampleFactor when K < 2.
int Decimate(cWaveform& wave, int64_t factor, const WorkControl& ctx);

// FFT interpolation by K (532), K one of 2, 4, ..., 256: the spectrum form's Nf bins become
// Nf' = Nf·K bins, the non-negative frequencies (first Nf/2) at the start, the negative ones
// (last Nf/2) at the end, zeros between; the unscaled inverse of size Nf' gives M = N·K
// samples (the first M) with the tones' amplitudes kept; Fs·K. kErrResampleFactor for another
// K (or a rate that would not fit); kErrEmpty when N < 1; kErrTooLong when M > kMaxToolSamples
// or Nf' > kMaxTransformPoints.
int FftUpsample(cWaveform& wave, int64_t factor, const WorkControl& ctx);

// FFT down-sampling by K (535), K one of 2, 4, ..., 256: of the spectrum form's Nf bins the
// first Nf'/2 and the last Nf'/2 (Nf' = Nf/K, the frequencies nearest 0 Hz) are kept and run
// through the unscaled inverse of size Nf'; the first N / K (integer division) results are the
// samples, tone levels in band kept; Fs / K. kErrResampleFactor for another K; kErrTooShort
// when N / K < 2 or Nf' < 8; kErrTooLong when Nf > kMaxTransformPoints (a long 16-bit real or
// marker file).
int FftDownsample(cWaveform& wave, int64_t factor, const WorkControl& ctx);
