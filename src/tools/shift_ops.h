#pragma once
// Rotations of a waveform in phase, frequency and time, as plain operations. Each builds its
// result in the scratch arrays and exchanges it in at the end, so a stop request (return false)
// leaves the samples as they were (FractionalTimeShift says where that ends).

#include <cstdint>

#include "tools/tool.h"
#include "waveform/sample_edits.h"

class cWaveform;

// Rotates every sample by degrees: θ = degrees·π/180, c = cos θ, s = sin θ in single
// precision; I' = I·c − Q·s, Q' = I·s + Q·c; only the chosen channels are written.
bool RotatePhase(cWaveform& wave, float degrees, PhaseShiftChannels channels,
                 const WorkControl& ctx);

// Frequency shift: sample n is multiplied by e^(j·2π·(n+1)·cyclesPerSample), n = 0 .. N−1
// (cyclesPerSample = shift / sample rate; negative shifts down). The phasor is formed in double
// from the exact phase every 1024 samples, so it stays within 1e-12 of e^(j(n+1)ω) at any n;
// the multiplication is in single precision. The array form reads n samples from in and writes
// them to out (which may be the same arrays).
bool FrequencyShiftInto(const float* inI, const float* inQ, float* outI, float* outQ, int64_t n,
                        double cyclesPerSample, const WorkControl& ctx);
bool FrequencyShift(cWaveform& wave, double cyclesPerSample, const WorkControl& ctx);

// Mixing by a quarter of the sample rate, on every sample: plusQuarterToDc multiplies sample n
// by (−j)^n (a tone at +Fs/4 moves to 0 Hz), otherwise by j^n (−Fs/4 moves to 0 Hz). Exact.
bool ShiftQuarterRate(cWaveform& wave, bool plusQuarterToDc, const WorkControl& ctx);

// Circular shift by k samples (|k| <= N): new[n] = old[(n + k) mod N]; sample k moves to the
// front, a negative k moves samples towards the end.
bool RotateSamples(cWaveform& wave, int64_t k, const WorkControl& ctx);

// Circular shift by a fractional number of samples s (|s| <= N − 1, N >= 2): nothing when
// |s| < 0.001; otherwise a rotation by k = round(s) (half away from zero) and, when the rest
// r = s − k exceeds 0.01 in size, a delay of r in the spectrum form: bin b (1 <= b < Nf/2) is
// multiplied by e^(j·2π·b·r/Nf) and bin Nf − b by its conjugate; bins 0 and Nf/2 stay. Leaves
// the spectrum form current (the caller brings the samples back). The stop request is
// honoured during the rotation; the spectral step, once begun, runs to its end.
bool FractionalTimeShift(cWaveform& wave, double s, const WorkControl& ctx);
