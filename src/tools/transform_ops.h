#pragma once
// The waveform's spectrum form as the tools that resample, transform and correlate build it:
// sizes in 64 bits, the forward transform of zero-padded samples scaled by
// 1/Nf and the unscaled inverse, each a watched step that reports progress and stops on request,
// and the two tools that replace the samples by a transform. Results are those of
// cWaveform::EnsureSpectrum and EnsureTimeDomain bit for bit; the work arrays are the caller's,
// so an operation that stops leaves the waveform as it was.

#include <cstdint>

#include "dsp/fft.h"
#include "tools/tool.h"

class cWaveform;

// The longest transform ComplexFFT runs (2^27 points); the spectrum tools refuse
// anything longer instead of working on untransformed data.
constexpr int64_t kMaxTransformPoints = int64_t{1} << kFftMaxLog2;
// The shortest transform (8 points): the spectrum form never has fewer bins.
constexpr int64_t kMinTransformPoints = int64_t{1} << kFftMinLog2;

// The smallest power of two that is at least n and at least minimum (minimum a power of two
// >= 1), in 64 bits; n up to 2^62.
int64_t PowerOfTwoAtLeast(int64_t n, int64_t minimum);

// The spectrum form's size Nf for n samples: PowerOfTwoAtLeast(n, 8).
inline int64_t SpectrumSizeFor(int64_t n) { return PowerOfTwoAtLeast(n, kMinTransformPoints); }
// True when that size is one the FFT transforms; a longer waveform (the 8-bit capture types
// reach 250,000,000 samples) has no spectrum form to filter.
inline bool HasSpectrumForm(int64_t n) { return SpectrumSizeFor(n) <= kMaxTransformPoints; }

// True when nf is a transform size ComplexFFT runs: a power of two from 8 to 2^27.
bool IsTransformSize(int64_t nf);

// Writes n samples (I, Q) interleaved into out[0 .. 2n) and zeros into out[2n .. 2·nf): a
// transform's input, zero padded to nf points (n <= nf). False when the stop request ended it.
bool InterleavePadded(const float* I, const float* Q, int64_t n, float* out, int64_t nf,
                      const WorkControl& ctx);

// Splits the first m interleaved points of data into I[0 .. m) and Q[0 .. m). False when the
// stop request ended it.
bool Deinterleave(const float* data, int64_t m, float* I, float* Q, const WorkControl& ctx);

// The spectrum form of n samples into out (2·nf floats): the samples zero padded to nf points,
// the forward transform (sign −1), each float multiplied by 1.0f/nf, bin k at out[2k], out[2k+1]
// in FFT order. nf: IsTransformSize and >= n. Progress runs 0-100 across the step (use
// ProgressPhase for a share). Returns kToolOk; kErrTooLong when nf is not a transform size;
// kErrStopped when the stop request ended it (out then undefined).
int ForwardSpectrum(const float* I, const float* Q, int64_t n, float* out, int64_t nf,
                    const WorkControl& ctx);

// The transform of nf interleaved points in place with the given sign (−1 forward, +1 the
// unscaled inverse that turns the spectrum form back into samples), reporting progress 0-100.
// Returns kToolOk; kErrTooLong when nf is not a transform size; kErrStopped when the stop
// request ended it (data then undefined).
int WatchedTransform(float* data, int64_t nf, int sign, const WorkControl& ctx);

// Forward FFT tool (533): the samples become the Nf = SpectrumSizeFor(N) bins of the spectrum
// form (real parts in I, imaginary in Q); the rate stays. Returns kToolOk; kErrTooLong when Nf
// exceeds kMaxToolSamples (checked before anything is allocated); kErrStopped.
int ReplaceBySpectrum(cWaveform& wave, const WorkControl& ctx);

// Inverse FFT tool (539): the samples (I real, Q imaginary), zero padded to
// Nf2 = PowerOfTwoAtLeast(N, 8), run through the unscaled inverse transform, and the Nf2 results
// replace them; the rate stays. After ReplaceBySpectrum of a waveform whose length is a power
// of two of at least 8 it restores the samples (to float rounding). Returns kToolOk;
// kErrTooLong when Nf2 exceeds kMaxToolSamples; kErrStopped.
int ReplaceByInverseTransform(cWaveform& wave, const WorkControl& ctx);
