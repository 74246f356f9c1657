#pragma once
// The signal generators as plain operations on a waveform: tones, a linear chirp, Gaussian
// noise, DC, a pulse and random QPSK / 16QAM / 64QAM symbols. Each builds its result in the
// scratch arrays and exchanges it in at the end, so a stop request (return false) leaves the
// samples as they were. Levels are linear amplitudes (full scale 1.0).

#include <cstdint>

#include "tools/tool.h"

class cRandom;

// Adds A·e^(j(2π·n·f/Fs + φ)) to every sample n. cyclesPerSample = f/Fs (negative turns the
// other way, 0 adds the constant A·e^(jφ)); the phase is carried in double so it stays exact to
// nanoradians at n = 10^8.
bool AddTone(cWaveform& wave, double cyclesPerSample, double phaseRad, float amplitude,
             const WorkControl& ctx);
// The same from arrays in to arrays out (which may be the same) over n samples.
bool AddToneInto(const float* inI, const float* inQ, float* outI, float* outQ, int64_t n,
                 double cyclesPerSample, double phaseRad, float amplitude, const WorkControl& ctx);

// Adds a linear chirp A·e^(jθ(n)), θ(n) = 2π·n·(f1 + n·(f2 − f1) / (2(N − 1))) / Fs, whose
// instantaneous frequency runs from f1 at the first sample to f2 at the last (frequencies as
// cycles per sample). A one-sample waveform gets θ = 0.
bool AddChirp(cWaveform& wave, double f1CyclesPerSample, double f2CyclesPerSample, float amplitude,
              const WorkControl& ctx);

// Adds complex Gaussian noise of total power A² (A·0.7071 per channel, I's deviate drawn
// before Q's for every sample) from the generator as it stands.
bool AddGaussianNoise(cWaveform& wave, float amplitude, cRandom& rng, const WorkControl& ctx);

// Adds iOffset to every I sample and qOffset to every Q sample.
bool AddDc(cWaveform& wave, float iOffset, float qOffset, const WorkControl& ctx);

// Sets the first length samples to I = Q = 0.2 (length <= the sample count).
bool OverwritePulse(cWaveform& wave, int64_t length, const WorkControl& ctx);

// Replaces every sample by a random symbol of an M-point square constellation (M = 4, 16 or
// 64), every symbol equally likely: k = floor(M·u). QPSK: ±0.5 ± 0.5j; 16QAM and 64QAM:
// levels (2a − (√M − 1)) / √(2(√M − 1)²), outer corner of magnitude 1.
void SquareSymbol(int points, float u, float& i, float& q);
bool ReplaceBySymbols(cWaveform& wave, int points, cRandom& rng, const WorkControl& ctx);

// 64QAM at samplesPerSymbol S: a symbol every S samples (zeros between), shaped by a raised
// cosine (roll-off 0.5) of M = min(10·S, 10000) taps, circularly. Works through the symbols
// only: about 10 multiply-adds per sample.
bool ReplaceByShapedQam64(cWaveform& wave, int64_t samplesPerSymbol, cRandom& rng,
                          const WorkControl& ctx);
// The pulse of that shaping at offset j samples: sinc(j/S)·cos(π/2·j/S) / (1.00000001 − (j/S)²).
double RaisedCosineTap(int64_t j, int64_t samplesPerSymbol);
