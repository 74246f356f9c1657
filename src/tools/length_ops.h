#pragma once
// The length tools' operations: crop, set length (cut or zero padding), appending
// another waveform or copies of the waveform itself, and the index arithmetic of the tools that
// call them. Sizes are 64-bit and checked before anything is allocated; each result is built in
// the scratch arrays and exchanged in whole, so a failure or a stop request (kErrStopped) leaves
// the samples as they were. The sample rate never changes.

#include <cstdint>

#include "tools/tool.h"

class cWaveform;

// Keeps samples first .. last (0-based, inclusive): last − first + 1 samples. Returns kToolOk;
// kErrCrop unless 0 <= first < last < N; kErrStopped.
int CropSamples(cWaveform& wave, int64_t first, int64_t last, const WorkControl& ctx);

// The first sample crop-to-middle (40001) keeps of N when it keeps k: trunc((N − k)/2 + 0.5)
// with a real division, so an odd N − k puts the extra sample on the left of what is cut
// ((N − k + 1) div 2 for 0 <= k <= N).
int64_t MiddleCropStart(int64_t n, int64_t k);

// The sample count Set Length (507) asks for with the entered value v at rate Fs (Hz): trunc(v)
// samples when v > 10, else v seconds: trunc(v·Fs), where v is the float the prompt gives read
// as its shortest decimal ("0.7", not 0.69999998...) and a product within 1e-9 (relative) of a
// whole number counts as that number, so 0.7 s at 1 MHz is 700000 samples. In double, so a
// count beyond 32 bits stays what it is: the caller checks it against [0, kMaxToolSamples]. NaN
// for a value that is not a number.
double RequestedLength(float v, int64_t sampleRateHz);

// The samples in v seconds at Fs, counted as RequestedLength counts them (so 1e-4 s at
// 122.88 MHz is 12288 samples, not the 12287 of the float's own product). NaN for NaN or inf.
double SamplesInSeconds(float v, int64_t sampleRateHz);

// Makes the waveform `length` samples long: the first `length` samples when that is fewer, the
// samples followed by zeros when more, nothing when the same (zero padding for any caller).
// Returns kToolOk; kErrTooShort when length < 0; kErrTooLong when length > kMaxToolSamples
// (before anything is allocated); kErrStopped.
int SetLength(cWaveform& wave, int64_t length, const WorkControl& ctx);

// The waveform followed by other's samples (N + N2); the rate stays. Returns kToolOk; kErrEmpty
// when other has no samples; kErrTooLong when N + N2 > kMaxToolSamples (only the counts are
// read before that check); kErrStopped.
int AppendWaveform(cWaveform& wave, const cWaveform& other, const WorkControl& ctx);

// The waveform followed by `copies` copies of itself: (copies + 1)·N samples. Returns kToolOk;
// kErrLengthOrCount when copies < 1; kErrEmpty when N < 1; kErrTooLong when the count exceeds
// kMaxToolSamples (in 64 bits, before anything is allocated); kErrStopped.
int AppendCopies(cWaveform& wave, int64_t copies, const WorkControl& ctx);
