#pragma once
// The sample-wise modifiers as plain operations on a waveform: levels and gains, clipping,
// quantising, reordering, fades, DC, and combining with a second waveform. Each builds its
// result in the scratch arrays and exchanges it in at the end, so a stop request (return
// false) leaves the samples as they were. Sample arithmetic is single precision, sums of many
// samples double. Long passes run on two cores in fixed chunks, so results do not depend on
// the number of cores. Levels are linear amplitudes (full scale 1.0) unless a name says dB.

#include <cstdint>

#include "tools/tool.h"

class cWaveform;

// ---- Levels

// Mean of I²+Q² over n samples in dB (10·log10, powers and sums in double). With thresholdDb
// below −1e-5 only samples whose power is at least 10^(thresholdDb/10) count; otherwise all.
// Returns 0 for n = 0, 1e30 when no sample passes the threshold, −inf when the mean is 0.
double MeanPowerdB(const float* I, const float* Q, int64_t n, double thresholdDb);
double MeanPowerdB(const cWaveform& wave, double thresholdDb);

// The largest magnitude √(I²+Q²) of the waveform; 0 when it is empty.
float PeakMagnitude(const cWaveform& wave);

// Multiplies every I and Q by factor.
bool ScaleSamples(cWaveform& wave, float factor, const WorkControl& ctx);

// Multiplies samples first .. last (inclusive; 0 <= first <= last < N) by factor, on I when
// scaleI and on Q when scaleQ; the rest stays.
bool ScaleSpan(cWaveform& wave, int64_t first, int64_t last, float factor, bool scaleI, bool scaleQ,
               const WorkControl& ctx);

// Hard clip of the magnitude at level c (> 0): every sample with I²+Q² > c² is multiplied by
// c / √(I²+Q²), so its magnitude becomes c and its phase stays; the others are copied. The
// array form works on samples [begin, end) (in and out may be the same arrays).
void ComplexClipInto(const float* inI, const float* inQ, float* outI, float* outQ, int64_t begin,
                     int64_t end, float c);
bool ComplexClip(cWaveform& wave, float c, const WorkControl& ctx);

// Limits I and Q each to [−1, 1]. clipped is set to the number of samples whose I or Q lay
// outside; when it is 0 the samples are left as they were.
bool ClipToFullScale(cWaveform& wave, int64_t& clipped, const WorkControl& ctx);

// Multiplies every sample with I²+Q² > powerThreshold (linear power) by gain.
bool ScaleAboveThreshold(cWaveform& wave, float powerThreshold, float gain, const WorkControl& ctx);

// Sets every Q sample to 0.
bool ZeroQ(cWaveform& wave, const WorkControl& ctx);

// Every I and Q becomes round(x·steps) / steps, rounding half away from zero (steps >= 1:
// the number of steps per unit).
bool Quantise(cWaveform& wave, float steps, const WorkControl& ctx);

// ---- Reordering

// Exchanges the I and Q arrays (nothing is copied). Returns kToolOk, or kErrSwapNoI /
// kErrSwapNoQ when an array holds fewer samples than the count.
int SwapIQ(cWaveform& wave);

// Q = −Q.
bool Conjugate(cWaveform& wave, const WorkControl& ctx);

// Sample n takes the place of sample N−1−n (I and Q together).
bool Reverse(cWaveform& wave, const WorkControl& ctx);

// A linear fade over samples start .. end (0 <= start < end < N): sample n is multiplied by
// g = (n − start)/(end − start) (fade in) or 1 − g (fade out); the others stay.
bool Fade(cWaveform& wave, int64_t start, int64_t end, bool fadeIn, const WorkControl& ctx);

// ---- DC

// Subtracts each channel's mean (summed in double, subtracted in single precision).
bool RemoveDc(cWaveform& wave, const WorkControl& ctx);

// The number of samples DcTrend leaves: floor((N − 1) / blockLength), blockLength >= 1.
int64_t DcTrendLength(int64_t sampleCount, int64_t blockLength);
// Replaces the waveform by the means of consecutive blocks of blockLength samples (summed in
// double), one sample per block, DcTrendLength of them: a block that ends at the last sample
// is not written. The sample rate stays.
bool DcTrend(cWaveform& wave, int64_t blockLength, const WorkControl& ctx);

// ---- Combining

enum class CombineMode {
    Add,       // main + other
    Subtract,  // main − other
    Multiply,  // main · other as complex numbers
    ReplaceQ   // Q of main = I of other
};
// Combines sample n of wave with sample n of other for n < min(N, N_other); later samples of
// wave stay.
bool CombineWith(cWaveform& wave, const cWaveform& other, CombineMode mode, const WorkControl& ctx);

// Mean of I²+Q² (double) of wave over the samples whose marker Q is above 0.5 (marker holds at
// least as many samples as wave); count is set to how many there are (the mean is 0 when
// none).
double MarkedMeanPower(const cWaveform& wave, const cWaveform& marker, int64_t& count);
