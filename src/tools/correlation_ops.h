#pragma once
// Correlation of the waveform with itself or with a reference, through its zero-padded
// spectrum form (Nf bins, each the forward transform divided by Nf) and the unscaled inverse
// transform; and the peak position of a correlation to a fraction of a sample.

#include <cstdint>
#include <vector>

#include "tools/tool.h"

class cWaveform;

// The centroid of the values around the first largest one of v: a window grows from it one
// step at a time (indices read modulo v.size(), weights at the unwrapped positions) until the
// peak exceeds ratio times the two values just added (or for 191 steps at most), then 10 more
// steps are averaged (never past 200). clearUsed zeroes the values taken, so a second call
// finds the next peak; *sum receives the sum of the values taken. Empty v gives 0.
double PeakCentroid(std::vector<double>& v, double ratio, bool clearUsed, double* sum = nullptr);

// Length of the spectrum form of count samples: the power of two at or above it, at least 8.
int64_t SpectrumLength(int64_t count);

// Replaces the waveform by its circular autocorrelation (length Nf, lag 0 at sample 0).
// False when stopped or when Nf would pass the longest result a tool may make (nothing then
// changes).
bool Autocorrelate(cWaveform& wave, const WorkControl& ctx);

// Replaces x by its cross-correlation with the reference (x zero-extended to the reference's
// length when that needs a longer transform), Nf complex samples; *lag receives the peak
// position in samples, within +-Nf/2. The reference has at least x's samples.
int CrossCorrelate(cWaveform& x, const cWaveform& reference, double* lag, const WorkControl& ctx);

// As above, circular: a reference whose length is not a power of two is repeated to the power
// of two at or above 1.5 times x's length. The stronger of the two largest peaks gives *lag,
// within +-n/2 of the result's n samples.
int CircularCrossCorrelate(cWaveform& x, const cWaveform& reference, double* lag,
                           const WorkControl& ctx);

// The frequency offset of the reference against x, in Hz (from the spectrum of their
// triangularly weighted product), and x shifted by it so that it lines up with the reference.
// Fails with kErrLevel (x unchanged, offset 0) when x and the reference have nothing in common
// and with kErrTooShort for fewer than 2 samples.
int AlignFrequency(cWaveform& x, const cWaveform& reference, double* offsetHz,
                   const WorkControl& ctx);
